// The built programs run as a user runs them: on a pseudo-terminal read back
// through a terminal emulator, or redirected to a file, a pipe or nowhere.
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>

#include "directory/store_journal.h"
#include "support/directory_builder.h"
#include "support/faulty_file_system.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/vterm_screen.h"

namespace kovo {
namespace {

using testing::OutputTo;
using testing::ProgramOptions;
using testing::ProgramRun;

const std::string& kBefore = testing::kScattered;
const char kDiskFull[] = "Exception EInOutError in module kovomaint at 00405C48.";
const char* const kJournalRefused = kDiskFull;  // the journal's step, whatever the reason

// The programs under test: the build's own, or those in the folder that
// KOVO_PROGRAMS names, such as a package's bin/ for another machine.
std::string Program(const char* built, const char* name) {
  const char* folder = std::getenv("KOVO_PROGRAMS");
  return folder == nullptr ? built : std::string(folder) + "/" + name;
}
const std::string kKovomaint = Program(KOVOMAINT_PATH, "kovomaint");
const std::string kKovolist = Program(KOVOLIST_PATH, "kovolist");

std::string Done(const char* phase) { return std::string(" \u25A0 ") + phase + " KOVO.FON: DONE"; }

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteFileBytes(File(), kBefore); }
  ProgramOptions Options(std::vector<std::string> arguments, OutputTo output = OutputTo::Terminal) {
    ProgramOptions options;
    options.Directory = dir_.Path();
    options.Arguments = std::move(arguments);
    options.Output = output;
    return options;
  }
  std::string File() const { return dir_.File("kovo.fon"); }
  // A copy of the programs that the user nobody may run, whatever folder the
  // build is in.
  std::string ProgramsForNobody() const {
    const std::string programs = dir_.File("bin");
    std::filesystem::create_directory(programs);
    for (const std::string& program : {kKovomaint, kKovolist})
      std::filesystem::copy(program, programs, std::filesystem::copy_options::overwrite_existing);
    return programs;
  }

  testing::TempDir dir_;
};

// What a kovomaint run leaves. On a terminal: the rows up to the cursor's
// (the last line is what stands left of the cursor) and blank rows below,
// also when the terminal is resized or the run stopped and resumed (with
// the shell printing) mid-run. Redirected: nothing but the fatal report,
// and a status that holds whatever becomes of standard output.
TEST_F(EndToEndTest, KovomaintLeavesItsLinesItsStatusAndItsFile) {
  struct Case {
    const char* name;
    std::function<void(ProgramOptions&)> set;
    int status;
    int cursor_row;                  // on a terminal
    std::vector<std::string> lines;  // on a terminal; redirected, the output
    int new_columns = 0, new_rows = 0;  // a resize mid-run
    bool stop = false;                  // a stop and resume mid-run
  };
  const std::vector<std::string> phases = {Done("Reading"), Done("Sorting"), Done("Packing"), ""};
  std::vector<std::string> whole = {" Kovo/w32 Maintenence \u00DF" "1 v1.00 [win32 version]",
                                    " Packs and sorts the kovo.fon directory file", "--//----------------"};
  whole.insert(whole.end(), phases.begin(), phases.end());
  const auto size = [](int columns, int rows) {
    return [=](ProgramOptions& o) {
      o.Columns = columns;
      o.Rows = rows;
    };
  };
  const auto redirect = [&](OutputTo output, std::optional<long> limit) {
    return [=](ProgramOptions& o) {
      o.Output = output;
      o.FileSizeLimit = limit;
    };
  };
  const Case cases[] = {
      {"80x25", size(80, 25), 0, 6, whole},
      {"30x8, the banner wrapping", size(30, 8), 0, 7, phases},
      {"the store failing", [](ProgramOptions& o) { o.FileSizeLimit = 10000; }, 1, 6,
       {Done("Reading"), Done("Sorting"), kDiskFull, "Disk full."}},
      {"shrunk to 60x5, below the banner's height", size(80, 25), 0, 4, phases, 60, 5},
      {"shrunk to 44x10", size(80, 25), 0, 6, phases, 44, 10},
      {"shrunk to 60x4 in the first pause", [](ProgramOptions& o) { o.MidRunAfter = "Reading"; }, 0, 3, phases, 60, 4},
      {"grown from 30x8", size(30, 8), 0, 7, phases, 80, 25},
      {"stopped, the shell printing, resumed", size(80, 25), 0, 6, whole, 0, 0, true},
      {"a terminal with no columns", size(0, 25), 0, 0, {""}},
      {"TERM=dumb", [](ProgramOptions& o) { o.Term = "dumb"; }, 0, 0, {""}},
      {"no TERM", [](ProgramOptions& o) { o.Term = nullptr; }, 0, 0, {""}},
      {"an ASCII locale", [](ProgramOptions& o) { o.Lang = "C"; }, 0, 6,
       {" Kovo/w32 Maintenence ?1 v1.00 [win32 version]", whole[1], whole[2], " ? Reading KOVO.FON: DONE",
        " ? Sorting KOVO.FON: DONE", " ? Packing KOVO.FON: DONE", ""}},
      // Not death by SIGPIPE; with standard output closed, the report must
      // not land in kovo.fon, opened on descriptor 1.
      {"a closed pipe, the store failing", redirect(OutputTo::ClosedPipe, 10000), 1, 0, {""}},
      {"no standard output, the store failing", redirect(OutputTo::Closed, 10000), 1, 0, {""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::WriteFileBytes(File(), kBefore);
    ProgramOptions options = Options({"Y"});
    c.set(options);
    if (c.stop) {
      options.MidRun = [](int, pid_t program) {
        ::kill(program, SIGSTOP);
        ::waitpid(program, nullptr, WUNTRACED);
        ::kill(program, SIGCONT);
      };
    } else if (c.new_columns != 0) {
      options.MidRun = [&c](int controller, pid_t) {
        const winsize size{static_cast<unsigned short>(c.new_rows), static_cast<unsigned short>(c.new_columns), 0, 0};
        ::ioctl(controller, TIOCSWINSZ, &size);
      };
    }
    const std::string file = testing::ReadFileBytes(File());
    const ProgramRun run = testing::RunProgram(kKovomaint, options);
    EXPECT_EQ(run.ExitCode(), c.status) << "wait status " << run.Status;
    const bool sorted = c.status == 0 && !options.Arguments.empty();
    EXPECT_EQ(testing::FirstFields(testing::ImageFromBytes(testing::ReadFileBytes(File())), 2),
              (sorted ? std::vector<std::string>{"10 Downing", "Alpha"}
                      : testing::FirstFields(testing::ImageFromBytes(file), 2)));
    if (options.Output != OutputTo::Terminal) {
      std::string report;
      for (const std::string& line : c.lines) report += (report.empty() ? "" : "\r\n") + line;
      EXPECT_EQ(run.Output, report);
      continue;
    }
    testing::EmulatedTerminal terminal(std::max(options.Columns, 1), options.Rows);
    terminal.Feed(run.Output.substr(0, run.OutputBeforeHook));
    if (c.stop) terminal.Feed("^Z\r\n[1]+  Stopped    kovomaint Y\r\n$ fg\r\nkovomaint Y\r\n");
    if (c.new_columns != 0) terminal.Resize(c.new_columns, c.new_rows);
    terminal.Feed(run.Output.substr(run.OutputBeforeHook));
    const int first = c.cursor_row + 1 - static_cast<int>(c.lines.size());
    for (int row = std::max(first, 0); row < (c.new_rows != 0 ? c.new_rows : options.Rows); ++row) {
      std::string shown = terminal.RowText(row);
      shown.erase(shown.find_last_not_of(' ') + 1);
      EXPECT_EQ(shown, row <= c.cursor_row ? c.lines[std::size_t(row - first)] : "") << row;
    }
    EXPECT_EQ(terminal.Cursor().Row, c.cursor_row);
    EXPECT_EQ(terminal.Cursor().Column, static_cast<int>(c.lines.back().size()));
  }
}

// kovolist as a script uses it: diff's statuses for --check, the usual
// option forms and the reasons.
TEST_F(EndToEndTest, KovolistChecksListsAndNeverTouchesTheFile) {
  const auto kovolist = [&](std::vector<std::string> arguments, OutputTo output = OutputTo::File) {
    return testing::RunProgram(kKovolist, Options(std::move(arguments), output));
  };
  const ProgramRun as_is = kovolist({});
  const ProgramRun after = kovolist({"--after", "Y"});
  testing::WriteFileBytes(dir_.File("short.fon"), std::string(100, 'x'));
  testing::WriteFileBytes(dir_.File("long.fon"), kBefore + "12345678");
  testing::WriteFileBytes(dir_.File("packed.fon"), testing::Finished(false));
  struct Case {
    std::vector<std::string> arguments;
    int status;
    const char* output;  // part of standard output, or of standard error
    bool on_errors;
    OutputTo to = OutputTo::File;
  };
  const Case cases[] = {
      {{"--check=Y"}, 1, "changes it:\n  slot 1 is erased, its field 2 being empty: [5]\"ghost\"", false},
      {{"--after=N"}, 0, "  1 used [4]\"beta\"", false},
      {{"--check=N", "packed.fon"}, 0, "\"kovomaint N\" run on it as kovo.fon leaves it as it is", false},
      {{"-c", "N", "./kovo.fon"}, 1, "\"kovomaint N\" run in . changes it", false},
      {{"-c", "q"}, 2, "\"kovomaint q\": refuses the switch", true},
      {{"-a", ""}, 2, "\"kovomaint ''\": refuses the switch", true},
      {{}, 2, "kovolist: write error: No space left on device\n", true, OutputTo::FullDisk},
      {{"-V"}, 2, "kovolist: write error", true, OutputTo::Closed},
      {{"--check", "Y", "."}, 2, ".: a folder, not a file", true},
      {{"short.fon"}, 1, "short.fon: 100 bytes", true},
      {{"long.fon", "-u"}, 0, "7 used, 93 free\n8 bytes follow slot 100; runs of kovomaint keep them", false},
#ifdef KOVO_WITH_JSON
      {{"-j"}, 0, "\"listing\": \"as is\"", false},
#endif
      {{"--", "--help"}, 1, "--help: File not found", true},
      {{"-h", "--bogus"}, 0, "usage: kovolist", false},
      {{"-V"}, 0, "kovolist (kovomaint) " KOVO_VERSION "\n", false},
      {{"-y"}, 2, "unknown option '-y'\nTry 'kovolist --help'", true},
      {{"--bogus=1"}, 2, "unknown option '--bogus'", true},
      {{"--used=1"}, 2, "--used takes no value", true},
      {{"--check"}, 2, "--check needs the switch", true},
      {{"--check", "Y", "--json"}, 2, "--check lists nothing", true},
      {{"--after=Y", "-c", "N"}, 2, "go alone", true},
      {{"--journal=x"}, 2, "--journal takes before or after", true},
      {{"--journal=after"}, 1, "kovo.fon-journal: there is no journal beside kovo.fon", true},
      {{"a", "b"}, 2, "one file at a time", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const ProgramRun run = kovolist(c.arguments, c.to);
    EXPECT_EQ(run.ExitCode(), c.status);
    EXPECT_NE((c.on_errors ? run.Errors : run.Output).find(c.output), std::string::npos)
        << run.Output << run.Errors;
  }
  EXPECT_EQ(kovolist({}).Output.find("follow slot 100"), std::string::npos) << "a file of exactly 19,700 bytes";
  // In a folder that takes no new file a run stores without its journal.
  ProgramOptions read_only_folder = Options({"-c", "Y"}, OutputTo::File);
  read_only_folder.AsNobody = true;
  const std::string kovolist_for_nobody = ProgramsForNobody() + "/kovolist";
  ::chmod(File().c_str(), 0666);
  ::chmod(dir_.Path().c_str(), 0555);
  const ProgramRun without_journal = testing::RunProgram(kovolist_for_nobody, read_only_folder);
  ::chmod(dir_.Path().c_str(), 0755);
  EXPECT_NE(without_journal.Errors.find("stores without a journal"), std::string::npos) << without_journal.Errors;
  // At a UTF-8 terminal the glyphs kovomaint's screen shows.
  EXPECT_NE(kovolist({"-u"}, OutputTo::Terminal).Output.find(" 12 used [4]\"\u00DFber\""), std::string::npos);

  // A journal beside the file is named with what the next run does with it,
  // and the next run does just that: removes an incomplete one, rolls back a
  // store killed in its write. The dry run's listing is the listing after.
  const std::string journal = dir_.File("kovo.fon-journal");
  testing::WriteFileBytes(journal, std::string(sizeof(JournalRecord), '\0'));
  const ProgramRun spent = kovolist({"--check", "Y"});
  EXPECT_EQ(spent.ExitCode(), 1);
  EXPECT_NE(spent.Errors.find("kovo.fon-journal stands beside kovo.fon: a kovomaint run finished but could "
                              "not remove it, and spent it; it is never applied and does no harm; the next "
                              "run removes it"),
            std::string::npos);
  ::unlink(journal.c_str());
  // As a store killed in its write leaves them.
  testing::WriteJournal(File(), kBefore, testing::Finished());
  testing::WriteFileBytes(File(), testing::Finished().substr(0, 5000) + kBefore.substr(5000));
  EXPECT_NE(kovolist({}).Errors.find("the next run rolls it back"), std::string::npos);
  EXPECT_EQ(kovolist({"--journal=before"}).Output, as_is.Output);
  EXPECT_EQ(kovolist({"--journal=after"}).Output, after.Output);
  // The same journal damaged beside the torn file: kept, and the check fails.
  testing::WriteFileBytes(journal, testing::ReadFileBytes(journal) + "x");
  const ProgramRun damaged = kovolist({"--check", "Y"});
  EXPECT_EQ(damaged.ExitCode(), 2);
  EXPECT_EQ(kovolist({"-a", "Y"}).ExitCode(), 1) << "no preview of a run that stops";
  EXPECT_NE(damaged.Errors.find("(I/O error 1392) and keeps it: it is damaged"), std::string::npos);
  const ProgramRun shown = kovolist({"--journal=before"});
  EXPECT_EQ(shown.Output, as_is.Output);
  EXPECT_NE(shown.Errors.find("its check fails, so these bytes may be damaged"), std::string::npos);
  ::truncate(journal.c_str(), sizeof(JournalRecord));
  EXPECT_EQ(kovolist({"-a", "Y"}).Output, after.Output);
  ASSERT_EQ(testing::RunProgram(kKovomaint, Options({"Y"}, OutputTo::File)).ExitCode(), 0);
  EXPECT_FALSE(testing::FileExists(dir_.File("kovo.fon-journal")));
  EXPECT_EQ(kovolist({}).Output, after.Output);
}

// Runs started together queue behind one another, each on the terminal
// through its pauses, and all of them finish: the last waits seconds. Where
// the kernel has only the process's own record locks, too, and another
// program's lockf still stops a run.
TEST_F(EndToEndTest, EightRunsStartedTogetherAllFinish) {
  const std::string eight_runs = "for i in 1 2 3 4 5 6 7 8; do \"$0\" Y & pids=\"$pids $!\"; done; "
                                 "for pid in $pids; do wait $pid || exit 1; done";
  for (const bool old_kernel : {false, true}) {
    SCOPED_TRACE(old_kernel ? "a kernel before 3.15" : "this kernel");
    testing::WriteFileBytes(File(), kBefore);
    ProgramOptions options = Options({"-c", eight_runs, kKovomaint});
    options.OldKernelLocks = old_kernel;
    EXPECT_EQ(testing::RunProgram("/bin/sh", options).ExitCode(), 0);
    EXPECT_TRUE(testing::ReadFileBytes(File()) == testing::Finished());
  }
  const pid_t holder = testing::HoldLock(File(), [](int fd) { return ::lockf(fd, F_LOCK, 0); });
  ProgramOptions options = Options({"Y"}, OutputTo::File);
  options.OldKernelLocks = true;
  EXPECT_EQ(testing::RunProgram(kKovomaint, options).ExitCode(), 1);
  testing::Release(holder);
}

// A listing taken while a run stores waits for the store to end, and shows
// what it stored, with no word of a cut-off run.
TEST_F(EndToEndTest, KovolistWaitsForAStoreInProgress) {
  const std::string listing = dir_.File("listing");
  pid_t lister = 0;
  const int watch = ::inotify_init1(IN_CLOEXEC);
  const auto list_meanwhile = [&] {
    ::inotify_add_watch(watch, File().c_str(), IN_OPEN);
    if ((lister = ::fork()) == 0) {
      for (int fd = 3; fd < 256; ++fd) ::close(fd);  // the store's, whose locks they share
      const ProgramRun run = testing::RunProgram(kKovolist, Options({}, OutputTo::File));
      testing::WriteFileBytes(listing, run.Output + run.Errors);
      ::_exit(0);
    }
    testing::WaitForAnOpen(watch);
  };
  // At the sync of the file: all of it written, its journal beside it.
  testing::FaultyFileSystem files(testing::Fault{testing::FileCall::Sync, 2, 0, 0, list_meanwhile});
  ASSERT_TRUE(testing::Maintain(files, File()).Stored.ok());
  ::waitpid(lister, nullptr, 0);
  const ProgramRun after = testing::RunProgram(kKovolist, Options({}, OutputTo::File));
  EXPECT_EQ(testing::ReadFileBytes(listing), after.Output);
  ::close(watch);
}

// The one line README and kovomaint(1) give for scripts fails whenever the
// file did not end up tidy, and only then.
TEST_F(EndToEndTest, TheDocumentedScriptLineFailsWithAReasonUnlessTheFileEndsUpTidy) {
  std::string line;
  std::istringstream readme(testing::ReadFileBytes(KOVO_SOURCE_DIR "/README.md"));
  while (std::getline(readme, line) && line.rfind("kovomaint Y || ", 0) != 0) {
  }
  std::string man = testing::ReadFileBytes(KOVO_SOURCE_DIR "/man/kovomaint.1.in");
  for (std::size_t dash; (dash = man.find("\\-")) != std::string::npos;) man.erase(dash, 1);
  ASSERT_NE(man.find(line), std::string::npos) << "README and kovomaint(1) differ on: " << line;
  const std::string programs = ProgramsForNobody();
  pid_t holder = 0;
  struct Case {
    const char* name;
    std::function<void()> arrange;
    int status;          // 0 tidy; 1 a run would still change it; 2 a run could not do its work
    const char* reason;  // what standard error names
    std::vector<std::string> untouched = {};  // names that still hold what they held
    bool as_nobody = false;
    std::optional<long> size_limit = std::nullopt;
    const char* report = "";  // the start of kovomaint's fatal report
  };
  const Case cases[] = {
      {"a normal run", [] {}, 0, ""},
      {"only KOVO.FON", [&] { ::rename(File().c_str(), dir_.File("KOVO.FON").c_str()); }, 0, ""},
      {"kovo.fon beside KOVO.FON", [&] { testing::WriteFileBytes(dir_.File("KOVO.FON"), kBefore); }, 0, "",
       {"KOVO.FON"}},
      {"missing", [&] { ::unlink(File().c_str()); }, 2, "File not found"},
      {"read-only", [&] { ::chmod(File().c_str(), 0444); }, 2, "cannot open it for reading and writing",
       {"kovo.fon"}, true},
      {"KOVO.FON and Kovo.fon", [&] {
         ::rename(File().c_str(), dir_.File("KOVO.FON").c_str());
         testing::WriteFileBytes(dir_.File("Kovo.fon"), kBefore);
       }, 2, "all match it", {"KOVO.FON", "Kovo.fon"}},
      {"short", [&] { testing::WriteFileBytes(File(), "short"); }, 2, "5 bytes, a kovo.fon file has 19700 bytes"},
      {"locked by another program past the wait",
       [&] { holder = testing::HoldLock(File(), [](int fd) { return ::flock(fd, LOCK_EX); }); }, 2,
       "locked past the wait", {"kovo.fon"}},
      {"a journal that stops the run",
       [&] { ::symlink("/nowhere", dir_.File("kovo.fon-journal").c_str()); }, 2, "it is a symbolic link",
       {"kovo.fon"}, false, std::nullopt, "Exception EInOutError in module kovomaint at 00405BE0."},
      {"the store failing", [] {}, 1, "\"kovomaint Y\" would change it", {"kovo.fon"}, false, 30000,
       kDiskFull},
      {"a spent journal the run may neither remove nor write", [&] {
         testing::WriteFileBytes(dir_.File("kovo.fon-journal"), std::string(sizeof(JournalRecord), '\0'));
         ::chmod(dir_.File("kovo.fon-journal").c_str(), 0444);
         ::chmod(File().c_str(), 0666);
         ::chmod(dir_.Path().c_str(), 0555);
       }, 2, "may neither remove it nor write it", {"kovo.fon"}, true, std::nullopt, kJournalRefused},
      {"a store cut off in its write", [&] {
         testing::WriteJournal(File(), kBefore, testing::Finished());
         testing::WriteFileBytes(File(), testing::Finished().substr(0, 5000) + kBefore.substr(5000));
       }, 0, ""},
      {"a folder one may write but not read", [&] {
         ::chmod(File().c_str(), 0666);
         ::chmod(dir_.Path().c_str(), 0733);
       }, 0, "", {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::chmod(dir_.Path().c_str(), 0777);
    for (const char* name : {"kovo.fon", "KOVO.FON", "Kovo.fon", "kovo.fon-journal"})
      ::unlink(dir_.File(name).c_str());
    testing::WriteFileBytes(File(), kBefore);
    c.arrange();
    ProgramOptions options = Options({"-c", "PATH=" + programs + ":$PATH; " + line}, OutputTo::File);
    options.AsNobody = c.as_nobody;
    options.FileSizeLimit = c.size_limit;
    const ProgramRun run = testing::RunProgram("/bin/sh", options);
    EXPECT_EQ(run.ExitCode(), c.status) << run.Output << run.Errors;
    EXPECT_EQ(run.Output.substr(0, run.Output.find('\r')), c.report) << "the fatal report's first line, or nothing";
    if (c.status == 0) {
      EXPECT_EQ(run.Errors, "");
      const std::string tidied = testing::FileExists(File()) ? File() : dir_.File("KOVO.FON");
      EXPECT_TRUE(testing::ReadFileBytes(tidied) == testing::Finished()) << "the old entries, tidied";
    } else {
      EXPECT_NE(run.Errors.find(c.reason), std::string::npos) << run.Errors;
    }
    for (const std::string& name : c.untouched)
      EXPECT_TRUE(testing::ReadFileBytes(dir_.File(name)) == kBefore) << name;
    if (holder != 0) testing::Release(std::exchange(holder, 0));
  }
  ::chmod(dir_.Path().c_str(), 0777);
}

}  // namespace
}  // namespace kovo
