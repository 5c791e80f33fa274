// Any file content through load, pack, sort and store, on a file held in
// memory. Checks that the kept count is the number of used slots, that the
// used entries survive in a stable order, that packing a packed image and
// sorting a sorted image change nothing, that the store writes exactly the
// work image and keeps the file's tail, and that nothing around the images
// is touched.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "directory/directory_file.h"
#include "directory/maintenance_passes.h"

namespace {

using namespace kovo;

// One file in memory behind the file seam.
class MemoryFileSystem final : public FileSystem {
 public:
  explicit MemoryFileSystem(std::string contents) : contents_(std::move(contents)) {}
  OpenResult OpenExisting(const char*) override {
    position_ = 0;
    return OpenResult{0, 3};
  }
  IoResult Read(FileHandle, void* buffer, std::size_t size) override {
    const std::size_t count = std::min(size, contents_.size() - position_);
    std::memcpy(buffer, contents_.data() + position_, count);
    position_ += count;
    return IoResult{0, count};
  }
  IoResult WriteAt(FileHandle, std::uint64_t offset, const void* data, std::size_t size) override {
    if (contents_.size() < offset + size) contents_.resize(offset + size);
    std::memcpy(contents_.data() + offset, data, size);
    return IoResult{0, size};
  }
  IoResult Sync(FileHandle) override { return IoResult{}; }
  IoResult Close(FileHandle) override { return IoResult{}; }
  DescribeResult Describe(FileHandle) override { return DescribeResult{0, {1, 1}, contents_.size()}; }
  DescribeResult DescribeName(const char*) override { return Describe(3); }
  IoResult Lock(FileHandle, LockMode) override { return IoResult{}; }
  // The folder takes no journal: the store goes on in place.
  OpenResult CreateNew(const char*) override { return OpenResult{5, kNoFile}; }
  IoResult SyncFolder(const char*) override { return IoResult{}; }
  IoResult Remove(const char*) override { return IoResult{}; }
  const std::string& Contents() const { return contents_; }

 private:
  std::string contents_;
  std::size_t position_ = 0;
};

// An image between two guard blocks that must stay as they were.
struct GuardedImage {
  unsigned char before[64];
  DirectoryImage image;
  unsigned char after[64];
  GuardedImage() {
    std::memset(before, 0xA5, sizeof before);
    std::memset(&image, 0, sizeof image);
    std::memset(after, 0x5A, sizeof after);
  }
  void CheckGuards() const {
    for (unsigned char byte : before) if (byte != 0xA5) std::abort();
    for (unsigned char byte : after) if (byte != 0x5A) std::abort();
  }
};

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string SlotBytes(const DirectoryImage& image, int slot) {
  return std::string(reinterpret_cast<const char*>(&image.Slot(slot)), kEntrySize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryFileSystem files(std::string(reinterpret_cast<const char*>(data), size));
  auto load = std::make_unique<GuardedImage>();
  auto work = std::make_unique<GuardedImage>();

  DirectoryFile file(files);
  const LoadResult loaded = LoadDirectory(file, load->image);
  Require(loaded.ok() == (size >= kImageSize));
  if (!loaded.ok()) {
    Require(loaded.Failed == LoadStep::Read && loaded.Code == kShortRead);
    return 0;
  }

  int used = 0;
  for (int slot = 1; slot <= kSlotCount; ++slot) used += load->image.Slot(slot).IsUsed() ? 1 : 0;
  const int kept = PackEntries(load->image, work->image);
  Require(kept == used);
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    const DirectoryEntry& entry = work->image.Slot(slot);
    Require(entry.IsUsed() == (slot <= kept));
    Require(entry.Field1.Length <= 60 && entry.Field3.Length <= 12 && entry.Field5.Length <= 30);
  }

  // Packing a packed image changes nothing.
  auto repacked = std::make_unique<GuardedImage>();
  Require(PackEntries(work->image, repacked->image) == kept);
  Require(std::memcmp(&repacked->image, &work->image, kImageSize) == 0);

  // The sort leaves the stable order of the keys: the packed slots stably
  // ordered by the same key comparison.
  std::vector<std::string> expected;
  for (int slot = 1; slot <= kept; ++slot) expected.push_back(SlotBytes(work->image, slot));
  std::stable_sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
    const auto* left = reinterpret_cast<const DirectoryEntry*>(a.data());
    const auto* right = reinterpret_cast<const DirectoryEntry*>(b.data());
    return CompareKeys(UpperKey(left->Field1), UpperKey(right->Field1)) < 0;
  });
  SortEntries(work->image, kept);
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    Require(SlotBytes(work->image, slot) ==
            (slot <= kept ? expected[slot - 1] : std::string(kEntrySize, '\0')));
  }

  // Sorting a sorted image changes nothing.
  auto resorted = std::make_unique<GuardedImage>();
  std::memcpy(&resorted->image, &work->image, kImageSize);
  SortEntries(resorted->image, kept);
  Require(std::memcmp(&resorted->image, &work->image, kImageSize) == 0);

  const auto scratch = std::make_unique<StoreScratch>();
  const StoreResult stored = StoreDirectory(file, work->image, load->image, *scratch);
  Require(stored.ok());
  Require(files.Contents().size() == size);
  Require(std::memcmp(files.Contents().data(), &work->image, kImageSize) == 0);
  Require(std::memcmp(files.Contents().data() + kImageSize, data + kImageSize, size - kImageSize) == 0);

  load->CheckGuards();
  work->CheckGuards();
  repacked->CheckGuards();
  resorted->CheckGuards();
  return 0;
}
