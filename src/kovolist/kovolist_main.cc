// kovolist: lists the slots of a kovo.fon file as it is, or as a run of
// kovomaint would leave it, and tells a script whether a run would change
// it. It only reads, under the shared lock that kovomaint's load takes, so
// that it never sees a store half done.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "app/fatal_report.h"
#include "kovolist/kovolist_options.h"
#include "kovolist/run_preview.h"
#include "kovolist/slot_listing.h"
#include "app/switch_table.h"
#include "directory/directory_file.h"
#include "directory/directory_name.h"
#include "directory/platform_file_system.h"
#include "directory/store_journal.h"
#ifdef KOVO_WITH_JSON
#include "kovolist/slot_json.h"
#endif
#include "kovolist/standard_streams.h"

namespace {

using kovo::kImageSize;

constexpr int kTrouble = 1;
constexpr int kUsageError = 2;  // and, for --check, a run that would not do its work

struct ListedFile {
  std::string Name;
  kovo::JournalPath JournalFile{};  // the name of the journal beside it
  kovo::DirectoryImage Image{};
  std::size_t BytesRead = 0;
  kovo::FileDescription Description;
  kovo::JournalVerdict Journal;
  kovo::Status JournalRefused;  // why the next run refuses the journal and stops
  int JournalStuck = 0;  // why a run could neither remove nor take over the journal; 0: it could
  std::unique_ptr<kovo::StoreScratch> Scratch = std::make_unique<kovo::StoreScratch>();

  // What a run loads: the bytes from before a store it rolls back first.
  const kovo::DirectoryImage& RunLoads() const {
    return Journal.Action == kovo::JournalAction::RollBack ? Scratch->Journal.Before : Image;
  }
};

bool Complain(const std::string& name, const std::string& reason) {
  std::fflush(stdout);
  std::fprintf(stderr, "kovolist: %s: %s\n", name.c_str(), reason.c_str());
  return false;
}

// The named file, or kovo.fon found as kovomaint finds it.
bool FindFile(const kovo::ListingOptions& options, kovo::FileSystem& files, std::string& name) {
  if (options.File) {
    name = *options.File;
    return true;
  }
  const kovo::NameLookup found = kovo::FindDirectoryFile(files);
  name = found.Name;
  if (found.Candidates.Count == 0) return true;
  std::string names;
  for (int i = 0; i < found.Candidates.Count; ++i)
    names += (i == 0 ? "" : ", ") + std::string(found.Candidates.Names[i]);
  return Complain(name, "no such file; " + names +
                            " all match it without regard to case, and kovomaint uses none of them");
}

// Why a file cannot be opened, in the words of the run's messages.
std::string ReasonOf(const std::string& name, int code) {
  std::error_code ignored;
  const std::filesystem::file_status status = std::filesystem::status(name, ignored);
  if (std::filesystem::is_directory(status)) return "a folder, not a file";
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    return "not a regular file";
  if (code == kovo::kUntrustedOwner)
    return "a symbolic link that belongs to neither root, you, nor the owner of the file it leads to; "
           "kovomaint does not follow it";
  return kovo::InOutErrorMessage(code);
}

// Why a run does not trust a journal, or cannot get rid of it.
std::string JournalReasonOf(int code) {
  switch (code) {
    case kovo::kSymbolicLink: return "it is a symbolic link";
    case kovo::kNotARegularFile: return "it is not a regular file";
    case kovo::kMoreThanOneLink: return "it has more than one link";
    case kovo::kUntrustedOwner: return "it belongs to, or may be written by, a user who may not write the file";
    case kovo::kSharingViolation:
      return "the file holds bytes its store neither found nor wrote, or has another length: it belongs to "
             "another file, or another program changed the file since";
    case kovo::kFileCorrupt:
      return "it is damaged (its check fails) and the file no longer holds the bytes from before its store, "
             "so it can be neither applied nor safely removed";
    case kovo::kAccessDenied: return "you may not read it";
    default: return kovo::InOutErrorMessage(code);
  }
}

// Reads the first 19,700 bytes and judges a journal beside the file, under
// the load's shared lock with its bounded wait.
bool ReadListedFile(kovo::PlatformFileSystem& files, ListedFile& file) {
  kovo::FileHandle opened = kovo::kNoFile;
  if (const kovo::Status status = files.OpenExisting(file.Name.c_str(), kovo::Access::ReadOnly, opened); !status.ok())
    return Complain(file.Name, ReasonOf(file.Name, status.Code));
  const kovo::Status read = kovo::ReadUnderSharedLock(files, opened, file.Image, file.BytesRead, file.Description);
  if (read.ok()) {
    file.JournalRefused = kovo::JudgeJournal(files, opened, file.JournalFile, *file.Scratch, file.Journal);
    if (file.JournalRefused.ok() && file.Journal.Action != kovo::JournalAction::None)
      file.JournalStuck = kovo::CheckJournalCanGo(files, file.JournalFile, opened).Code;
  } else {
    const bool locked = read.Code == kovo::kLockViolation;
    Complain(file.Name, locked ? "another program holds it locked past the wait (I/O error 33)"
                               : kovo::InOutErrorMessage(read.Code));
  }
  (void)files.Close(opened);  // and with it the lock
  return read.ok();
}

// What the next run of kovomaint does with the journal beside the file;
// empty when there is none.
std::string JournalFate(const ListedFile& file) {
  if (!file.JournalRefused.ok())
    return "the next run stops with its fatal report (" + kovo::InOutErrorMessage(file.JournalRefused.Code) +
           ") and keeps it: " + JournalReasonOf(file.JournalRefused.Code);
  std::string what;
  switch (file.Journal.Action) {
    case kovo::JournalAction::None: return "";
    case kovo::JournalAction::RollBack:
      what = "a kovomaint run was cut off in the middle of its store (or, on a share whose locks do not "
             "reach other machines, another machine's store is in progress and the listing may be torn); "
             "the next run rolls it back, putting back the bytes from before that store";
      break;
    case kovo::JournalAction::Remove:
      what = file.Journal.Kind == kovo::Leftover::Spent
                 ? "a kovomaint run finished but could not remove it, and spent it; it is never applied and does "
                   "no harm"
                 : "a kovomaint run was cut off before it changed the file";
      if (file.JournalStuck == 0) what += "; the next run removes it, or where it may not, leaves it";
      break;
  }
  if (file.JournalStuck == 0) return what;
  return what + "; the next run stops, for it may neither remove it nor write it (" +
         (file.JournalStuck == kovo::kAccessDenied ? std::string("you may not write it")
                                                     : JournalReasonOf(file.JournalStuck)) + ")";
}

void WarnOfAJournal(const ListedFile& file) {
  const std::string what = JournalFate(file);
  if (what.empty()) return;
  std::fflush(stdout);
  std::fprintf(stderr, "kovolist: warning: %s stands beside %s: %s\n", file.JournalFile.c_str(),
               file.Name.c_str(), what.c_str());
}

// Whether the next run stops over the journal beside the file.
bool JournalStopsTheRun(const ListedFile& file) {
  return !file.JournalRefused.ok() || file.JournalStuck != 0;
}

bool IsWhole(const ListedFile& file) {
  if (file.BytesRead == kImageSize) return true;
  return Complain(file.Name, std::to_string(file.Description.Length) + " bytes, a kovo.fon file has " +
                                 std::to_string(kImageSize) + " bytes");
}

kovo::TextShown TextShownOnStandardOutput() {
  return kovo::OutputShowsGlyphs() ? kovo::TextShown::Glyphs : kovo::TextShown::Escaped;
}

// Whether kovomaint could open the file as its load does: read and write.
bool RunCanOpen(kovo::FileSystem& files, const std::string& name) {
  kovo::FileHandle opened = kovo::kNoFile;
  const kovo::Status status = files.OpenExisting(name.c_str(), kovo::Access::ReadWrite, opened);
  if (status.ok()) {
    (void)files.Close(opened);
    return true;
  }
  return Complain(name, "kovomaint cannot open it for reading and writing (" +
                            kovo::InOutErrorMessage(status.Code) + "): a run shows \"Can't locate .fon file\"");
}

// Whether the run that --check and --after speak of would give its result:
// it could open the file and would not stop over a journal.
bool RunWouldStore(kovo::FileSystem& files, const ListedFile& file) {
  return !JournalStopsTheRun(file) && RunCanOpen(files, file.Name);
}

// The run a check or a preview speaks of, as the user would type it, and
// where: kovomaint works on kovo.fon in the folder it runs in.
std::string RunPhrase(const kovo::ListingOptions& options) {
  std::string run = "\"kovomaint " + (options.Switch.empty() ? std::string("''") : options.Switch) + "\"";
  if (!options.File) return run;
  const std::filesystem::path named(*options.File);
  const std::string folder = named.parent_path().string();
  if (kovo::EqualIgnoringAsciiCase(named.filename().string().c_str(), kovo::kDirectoryFileName))
    return folder.empty() ? run : run + " run in " + folder;
  return run + " run on it as kovo.fon" + (folder.empty() ? "" : " in " + folder);
}

int Check(const kovo::ListingOptions& options, kovo::FileSystem& files, const ListedFile& file) {
  if (!IsWhole(file) || !RunWouldStore(files, file)) return kUsageError;
  kovo::DirectoryImage after{};
  kovo::PreviewRun(file.RunLoads(), options.Outcome, after);
  const bool changes = std::memcmp(after.Bytes(), file.Image.Bytes(), kImageSize) != 0;
  const std::string run = RunPhrase(options);
  if (options.Quiet) {
    if (changes) Complain(file.Name, run + " would change it");
    return changes ? 1 : 0;
  }
  if (changes && !files.MayCreateBeside(file.JournalFile.c_str()))
    Complain(file.JournalFile.c_str(), "warning: kovomaint may not create it in the file's folder, so it stores "
                                       "without a journal: a kill or power cut in the middle can leave the file torn");
  std::printf("%s: %s %s\n", file.Name.c_str(), run.c_str(), changes ? "changes it:" : "leaves it as it is");
  const bool rolls_back = file.Journal.Action == kovo::JournalAction::RollBack;
  if (rolls_back)
    std::printf(changes ? "  it rolls the journal beside it back first; from the bytes that puts back:\n"
                        : "  it rolls the journal beside it back, then stores these same bytes again\n");
  if (!changes) return 0;
  const kovo::ChangeSummary summary = kovo::SummariseChanges(file.RunLoads(), options.Outcome);
  for (const std::string& line : kovo::DescribeChanges(summary, file.RunLoads(), TextShownOnStandardOutput()))
    std::printf("%s\n", line.c_str());
  return 1;
}

void PrintLines(const kovo::DirectoryImage& image, int whole_slots, bool used_only) {
  const kovo::TextShown shown = TextShownOnStandardOutput();
  int used = 0;
  for (int slot = 1; slot <= whole_slots; ++slot) {
    const kovo::DirectoryEntry& entry = image.Slot(slot);
    used += entry.IsUsed() ? 1 : 0;
    if (used_only && !entry.IsUsed()) continue;
    std::printf("%s\n", kovo::ListSlot(entry, slot, shown).c_str());
  }
  if (used_only) std::printf("%d used, %d free\n", used, whole_slots - used);
}

void NoteTrailingBytes(const ListedFile& file) {
  if (file.Description.Length <= kImageSize) return;
  std::printf("%llu bytes follow slot 100; runs of kovomaint keep them as they are\n",
              static_cast<unsigned long long>(file.Description.Length - kImageSize));
}

int PrintJson(const kovo::ListingOptions& options, const ListedFile& file, const kovo::DirectoryImage& image) {
#ifdef KOVO_WITH_JSON
  kovo::JsonListing listing{file.Name, file.Description.Length, "as is", options.UsedOnly};
  if (options.Mode == kovo::ListingMode::Journal) {
    listing = kovo::JsonListing{file.JournalFile.c_str(), kImageSize,
                                options.JournalAfter ? "journal after" : "journal before", options.UsedOnly};
  }
  kovo::ChangeSummary summary;
  if (options.Mode == kovo::ListingMode::After) {
    listing.Listing = "after kovomaint " + options.Switch;
    summary = kovo::SummariseChanges(file.RunLoads(), options.Outcome);
    listing.Changes = &summary;
    listing.Before = &file.RunLoads();
  }
  std::printf("%s\n", kovo::ImageJson(image, listing).c_str());
  return 0;
#else
  (void)options;
  (void)file;
  (void)image;
  return kUsageError;  // the parser refuses --json in such a build
#endif
}

// The journal beside the file, listed like the file: what a person told to
// decide over a journal has to decide with.
int ListJournal(const kovo::ListingOptions& options, const ListedFile& file) {
  const bool spent = file.Journal.IsSpent();
  if (!file.Journal.Read || spent) {
    std::string why = "it is shorter than a journal, so it holds no images";
    if (!file.JournalRefused.ok()) why = "it cannot be shown: " + JournalReasonOf(file.JournalRefused.Code);
    if (file.JournalRefused.ok() && file.Journal.Action == kovo::JournalAction::None)
      why = "there is no journal beside " + file.Name;
    if (spent) why = "it is spent and holds nothing of the file";
    Complain(file.JournalFile.c_str(), why);
    return kTrouble;
  }
  if (file.Journal.Action != kovo::JournalAction::RollBack && file.JournalRefused.Code != kovo::kSharingViolation)
    Complain(file.JournalFile.c_str(), "warning: its check fails, so these bytes may be damaged");
  const kovo::JournalRecord& record = file.Scratch->Journal;
  const kovo::DirectoryImage& image = options.JournalAfter ? record.After : record.Before;
  if (options.Json) return PrintJson(options, file, image);
  PrintLines(image, kovo::kSlotCount, options.UsedOnly);
  return 0;
}

int List(const kovo::ListingOptions& options, kovo::FileSystem& files, const ListedFile& file) {
  if (options.Mode == kovo::ListingMode::Journal) return ListJournal(options, file);
  if (options.Mode == kovo::ListingMode::AsIs && !options.Json) {
    PrintLines(file.Image, static_cast<int>(file.BytesRead / kovo::kEntrySize), options.UsedOnly);
    NoteTrailingBytes(file);
    return IsWhole(file) ? 0 : kTrouble;
  }
  if (!IsWhole(file)) return kTrouble;
  if (options.Mode == kovo::ListingMode::After && !RunWouldStore(files, file)) return kTrouble;
  kovo::DirectoryImage image = file.Image;
  if (options.Mode == kovo::ListingMode::After)
    kovo::PreviewRun(file.RunLoads(), options.Outcome, image);
  if (options.Json) return PrintJson(options, file, image);
  PrintLines(image, kovo::kSlotCount, options.UsedOnly);
  NoteTrailingBytes(file);
  return 0;
}

int Run(const kovo::ListingOptions& options) {
  const bool checking = options.Mode == kovo::ListingMode::Check;
  const bool previews = checking || options.Mode == kovo::ListingMode::After;
  if (previews && !kovo::RunTouchesTheFile(options.Outcome)) {
    Complain(RunPhrase(options), "refuses the switch and does not touch the file");
    return kUsageError;
  }
  const int cannot_read = checking ? kUsageError : kTrouble;
  ListedFile file;
  kovo::PlatformFileSystem files;
  if (!FindFile(options, files, file.Name)) return cannot_read;
  file.JournalFile = kovo::JournalName(file.Name);
  if (!ReadListedFile(files, file)) return cannot_read;
  if (!options.Quiet || JournalStopsTheRun(file)) WarnOfAJournal(file);
  return checking ? Check(options, files, file) : List(options, files, file);
}

// A failed or short write to standard output fails the program, as in
// coreutils: a script must not take a cut-off listing for a whole one.
int FinishOutput(int status) {
  errno = 0;
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return status;
  std::fprintf(stderr, "kovolist: write error%s%s\n", errno != 0 ? ": " : "", errno != 0 ? std::strerror(errno) : "");
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  kovo::PrepareStandardStreams();
  // Room for any listing: a write that fails does so at the end, where its
  // reason is still known. It outlives main, as stdout does.
  static char output_buffer[1 << 20];
  std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
  const kovo::ParsedOptions parsed = kovo::ParseListingOptions(argc, argv);
  if (!parsed.Options) {
    std::fprintf(stderr, "kovolist: %s\nTry 'kovolist --help' for more information.\n", parsed.Error.c_str());
    return kUsageError;
  }
  switch (parsed.Options->Mode) {
    case kovo::ListingMode::Help: std::printf("%s", kovo::ListingUsage()); return FinishOutput(0);
    case kovo::ListingMode::Version: std::printf("kovolist (kovomaint) %s\n", KOVO_VERSION); return FinishOutput(0);
    default: return FinishOutput(Run(*parsed.Options));
  }
}
