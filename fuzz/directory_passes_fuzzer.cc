// Any file content through pack and sort. The kept count is the number of
// used slots, the packed slots come first with no length past its field,
// the sort leaves the stable order of the keys, and a second pack or sort
// changes nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "directory/maintenance_passes.h"

namespace {

using namespace kovo;

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Same(const DirectoryImage& a, const DirectoryImage& b) {
  return std::memcmp(&a, &b, kImageSize) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto load = std::make_unique<DirectoryImage>();
  std::memcpy(load->Bytes(), data, std::min(size, kImageSize));
  const auto work = std::make_unique<DirectoryImage>();
  const int kept = PackEntries(*load, *work);
  Require(kept == std::count_if(load->Slots, load->Slots + kSlotCount,
                                [](const DirectoryEntry& entry) { return entry.IsUsed(); }));
  const DirectoryEntry free_slot{};
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    const DirectoryEntry& entry = work->Slot(slot);
    Require(slot <= kept ? entry.IsUsed() : std::memcmp(&entry, &free_slot, kEntrySize) == 0);
    Require(entry.Field1.Length <= 60 && entry.Field3.Length <= 12 && entry.Field5.Length <= 30);
  }
  const auto again = std::make_unique<DirectoryImage>();
  Require(PackEntries(*work, *again) == kept && Same(*again, *work));

  std::vector<DirectoryEntry> expected(work->Slots, work->Slots + kept);
  std::stable_sort(expected.begin(), expected.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
    return CompareKeys(UpperKey(a.Field1), UpperKey(b.Field1)) < 0;
  });
  expected.resize(kSlotCount, free_slot);
  SortEntries(*work, kept);
  Require(std::memcmp(work->Slots, expected.data(), kImageSize) == 0);
  *again = *work;
  SortEntries(*again, kept);
  Require(Same(*again, *work));
  return 0;
}
