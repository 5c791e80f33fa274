// kovolist: lists the slots of a kovo.fon file as it is, or as a run of
// kovomaint would leave it, and tells a script whether a run would change
// it. It only reads.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/fatal_report.h"
#include "app/kovolist_options.h"
#include "app/run_preview.h"
#include "app/slot_listing.h"
#include "app/switch_table.h"
#include "directory/platform_file_system.h"
#include "directory/store_journal.h"
#ifdef KOVO_WITH_JSON
#include "app/slot_json.h"
#endif
#ifndef _WIN32
#include "app/process_setup.h"
#endif

namespace {

using kovo::kImageSize;

constexpr int kTrouble = 1;
constexpr int kUsageError = 2;

struct ListedFile {
  kovo::DirectoryImage Image{};
  std::size_t BytesRead = 0;
  std::uint64_t Size = 0;
};

bool Complain(const std::string& name, const std::string& reason) {
  std::fflush(stdout);
  std::fprintf(stderr, "kovolist: %s: %s\n", name.c_str(), reason.c_str());
  return false;
}

// Reads the file's first 19,700 bytes; false, with the system's reason on
// standard error, when it cannot be read at all.
bool ReadListedFile(const std::string& name, ListedFile& file) {
  std::error_code ignored;
  const std::filesystem::file_status status = std::filesystem::status(name, ignored);
  if (std::filesystem::is_directory(status)) return Complain(name, std::strerror(EISDIR));
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    return Complain(name, "not a regular file");
  std::FILE* stream = std::fopen(name.c_str(), "rb");
  if (stream == nullptr) return Complain(name, std::strerror(errno));
  file.BytesRead = std::fread(file.Image.Bytes(), 1, kImageSize, stream);
  const int error = std::ferror(stream) != 0 ? errno : 0;
  std::fclose(stream);
  if (error != 0) return Complain(name, std::strerror(error));
  file.Size = std::filesystem::file_size(name, ignored);
  return true;
}

bool IsWhole(const std::string& name, const ListedFile& file) {
  if (file.BytesRead == kImageSize) return true;
  return Complain(name, std::to_string(file.Size) + " bytes, a kovo.fon file has " +
                            std::to_string(kImageSize));
}

// A journal beside the file means a run of kovomaint was cut off in the
// middle of its store; the file may be torn until the next run rolls it back.
void WarnOfAJournal(const std::string& name) {
  std::error_code ignored;
  const kovo::JournalPath journal = kovo::JournalName(name);
  if (!std::filesystem::exists(journal.c_str(), ignored)) return;
  std::fprintf(stderr,
               "kovolist: warning: %s stands beside %s: a kovomaint run was cut off in the "
               "middle of its store, and the next run rolls it back\n",
               journal.c_str(), name.c_str());
}

// The switch as kovomaint's command line would take it.
kovo::SwitchOutcome Classify(const std::string& argument) {
  const char* argv[] = {"kovomaint", argument.c_str()};
  return kovo::ClassifySwitch(kovo::FirstArgument(2, argv));
}

// Whether kovomaint could open the file as its load does: read and write.
std::string WritabilityLine(const std::string& name) {
  kovo::PlatformFileSystem files;
  const kovo::OpenResult opened = files.OpenExisting(name.c_str());
  if (opened.ok()) {
    (void)files.Close(opened.Handle);
    return "kovomaint can open it for reading and writing";
  }
  return "kovomaint cannot open it for reading and writing (" +
         kovo::InOutErrorMessage(opened.Code) + "): a run shows \"Can't locate .fon file\"";
}

int Check(const kovo::ListingOptions& options, const ListedFile& file) {
  const kovo::SwitchOutcome outcome = Classify(options.Switch);
  const kovo::ChangeSummary summary = kovo::SummariseChanges(file.Image, outcome);
  const std::string run = "\"kovomaint " + options.Switch + "\"";
  if (!kovo::RunTouchesTheFile(outcome)) {
    std::printf("%s: %s refuses the switch and leaves it as it is\n", options.File.c_str(), run.c_str());
  } else if (!summary.Changes) {
    std::printf("%s: %s leaves it as it is\n", options.File.c_str(), run.c_str());
  } else {
    std::printf("%s: %s changes it:\n", options.File.c_str(), run.c_str());
    for (const std::string& line : kovo::DescribeChanges(summary)) std::printf("%s\n", line.c_str());
  }
  std::printf("%s\n", WritabilityLine(options.File).c_str());
  return summary.Changes ? 1 : 0;
}

void PrintLines(const kovo::DirectoryImage& image, int whole_slots, bool used_only) {
  int used = 0;
  for (int slot = 1; slot <= whole_slots; ++slot) {
    const kovo::DirectoryEntry& entry = image.Slot(slot);
    used += entry.IsUsed() ? 1 : 0;
    if (used_only && !entry.IsUsed()) continue;
    std::printf("%s\n", kovo::ListSlot(entry, slot).c_str());
  }
  if (used_only) std::printf("%d used, %d free\n", used, whole_slots - used);
}

int PrintJson(const kovo::ListingOptions& options, const ListedFile& file,
              const kovo::DirectoryImage& image) {
#ifdef KOVO_WITH_JSON
  const std::string listing =
      options.Mode == kovo::ListingMode::After ? "after kovomaint " + options.Switch : "as is";
  std::printf("%s\n", kovo::ImageJson(image, {options.File, file.Size, listing, options.UsedOnly})
                          .c_str());
  return 0;
#else
  (void)options, (void)file, (void)image;
  std::fprintf(stderr, "kovolist: this build has no JSON support\n");
  return kUsageError;
#endif
}

int List(const kovo::ListingOptions& options, const ListedFile& file) {
  if (options.Mode == kovo::ListingMode::AsIs && !options.Json) {
    const int whole_slots = static_cast<int>(file.BytesRead / kovo::kEntrySize);
    PrintLines(file.Image, whole_slots, options.UsedOnly);
    return IsWhole(options.File, file) ? 0 : kTrouble;
  }
  if (!IsWhole(options.File, file)) return kTrouble;
  kovo::DirectoryImage image{};
  if (options.Mode == kovo::ListingMode::After) {
    kovo::PreviewRun(file.Image, Classify(options.Switch), image);
  } else {
    image = file.Image;
  }
  if (options.Json) return PrintJson(options, file, image);
  PrintLines(image, kovo::kSlotCount, options.UsedOnly);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
  kovo::EnsureStandardDescriptors();
#endif
  const kovo::ParsedOptions parsed =
      kovo::ParseListingOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.Options) {
    std::fprintf(stderr, "kovolist: %s\nTry 'kovolist --help' for more information.\n",
                 parsed.Error.c_str());
    return kUsageError;
  }
  const kovo::ListingOptions& options = *parsed.Options;
  if (options.Mode == kovo::ListingMode::Help) {
    std::printf("%s", kovo::kListingUsage);
    return 0;
  }
  if (options.Mode == kovo::ListingMode::Version) {
    std::printf("kovolist (kovomaint) %s\n", KOVO_VERSION);
    return 0;
  }
  WarnOfAJournal(options.File);
  ListedFile file;
  const bool checking = options.Mode == kovo::ListingMode::Check;
  if (!ReadListedFile(options.File, file)) return checking ? kUsageError : kTrouble;
  if (checking) return IsWhole(options.File, file) ? Check(options, file) : kUsageError;
  return List(options, file);
}
