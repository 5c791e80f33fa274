// The built programs run as a user runs them: kovomaint on a pseudo-terminal
// read back through a terminal emulator, both redirected to files and pipes.
#include <csignal>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "support/directory_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/vterm_screen.h"

namespace kovo {
namespace {

using testing::OutputTo;
using testing::ProgramOptions;
using testing::ProgramRun;

const std::string kBefore = testing::ImageBytes(testing::ScatteredImage());
const std::vector<std::string> kSortedNames = {"10 Downing", "Alpha",  "alpha",     "ALPHA2",
                                               "beta",       "zeta",   "\xE1" "ber"};
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
  std::vector<std::string> Names() const {
    return testing::FirstFields(testing::ImageFromBytes(testing::ReadFileBytes(File())), 7);
  }

  testing::TempDir dir_;
};

// The lines a run leaves on its terminal, up to the cursor's row (the last
// line is what stands left of the cursor); every row below is blank. A
// resize or a stop with the shell printing in between comes mid-run.
TEST_F(EndToEndTest, TerminalShowsTheLinesWholeWithTheCursorBelow) {
  struct Case {
    const char* name;
    int columns, rows;
    std::function<void(ProgramOptions&)> set;
    int new_columns, new_rows;  // a resize mid-run, when not 0
    bool stop;                  // a stop and resume mid-run
    int cursor_row;
    std::vector<std::string> lines;
  };
  const std::vector<std::string> banner = {" Kovo/w32 Maintenence \u00DF" "1 v1.00 [win32 version]",
                                           " Packs and sorts the kovo.fon directory file",
                                           "--//----------------"};
  const std::vector<std::string> phases = {Done("Reading"), Done("Sorting"), Done("Packing"), ""};
  std::vector<std::string> whole = banner;
  whole.insert(whole.end(), phases.begin(), phases.end());
  const auto none = [](ProgramOptions&) {};
  const Case cases[] = {
      {"80x25", 80, 25, none, 0, 0, false, 6, whole},
      {"30x8, the banner wrapping", 30, 8, none, 0, 0, false, 7, phases},
      {"the store failing", 80, 25, [](ProgramOptions& o) { o.FileSizeLimit = 10000; }, 0, 0, false, 6,
       {Done("Reading"), Done("Sorting"), "Exception EInOutError in module kovomaint at 00405C48.",
        "Disk full."}},
      {"shrunk to 60x5, below the banner's height", 80, 25, none, 60, 5, false, 4, phases},
      {"shrunk to 44x10", 80, 25, none, 44, 10, false, 6, phases},
      {"grown from 30x8", 30, 8, none, 80, 25, false, 7, phases},
      {"stopped, the shell printing, resumed", 80, 25, none, 0, 0, true, 6, whole},
      {"a terminal with no columns", 0, 25, none, 0, 0, false, 0, {""}},
      {"TERM=dumb", 80, 25, [](ProgramOptions& o) { o.Term = "dumb"; }, 0, 0, false, 0, {""}},
      {"no TERM", 80, 25, [](ProgramOptions& o) { o.Term = nullptr; }, 0, 0, false, 0, {""}},
      {"an ASCII locale", 80, 25, [](ProgramOptions& o) { o.Lang = "C"; }, 0, 0, false, 6,
       {" Kovo/w32 Maintenence ?1 v1.00 [win32 version]", banner[1], banner[2],
        " ? Reading KOVO.FON: DONE", " ? Sorting KOVO.FON: DONE", " ? Packing KOVO.FON: DONE", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::WriteFileBytes(File(), kBefore);
    ProgramOptions options = Options({"Y"});
    options.Columns = c.columns;
    options.Rows = c.rows;
    c.set(options);
    if (c.stop) {
      options.MidRun = [](int, pid_t program) {
        ::kill(program, SIGSTOP);
        ::usleep(100000);
        ::kill(program, SIGCONT);
      };
    } else if (c.new_columns != 0) {
      options.MidRun = [&c](int controller, pid_t) {
        const winsize size{static_cast<unsigned short>(c.new_rows),
                           static_cast<unsigned short>(c.new_columns), 0, 0};
        ::ioctl(controller, TIOCSWINSZ, &size);
      };
    }
    const ProgramRun run = testing::RunProgram(KOVOMAINT_PATH, options);
    EXPECT_EQ(run.ExitCode(), c.lines.back() == "Disk full." ? 1 : 0);

    testing::EmulatedTerminal terminal(std::max(c.columns, 1), c.rows);
    terminal.Feed(run.Output.substr(0, run.OutputBeforeHook));
    if (c.stop) terminal.Feed("^Z\r\n[1]+  Stopped    kovomaint Y\r\n$ fg\r\nkovomaint Y\r\n");
    if (c.new_columns != 0) terminal.Resize(c.new_columns, c.new_rows);
    terminal.Feed(run.Output.substr(run.OutputBeforeHook));

    const int first = c.cursor_row + 1 - static_cast<int>(c.lines.size());
    for (int row = std::max(first, 0); row < (c.new_rows != 0 ? c.new_rows : c.rows); ++row) {
      std::string shown = terminal.RowText(row);
      shown.erase(shown.find_last_not_of(' ') + 1);
      EXPECT_EQ(shown, row <= c.cursor_row ? c.lines[std::size_t(row - first)] : "") << row;
    }
    EXPECT_EQ(terminal.Cursor().Row, c.cursor_row);
    EXPECT_EQ(terminal.Cursor().Column, static_cast<int>(c.lines.back().size()));
  }
}

// Output that is not a terminal receives nothing but the fatal report, and
// the status holds whatever becomes of standard output.
TEST_F(EndToEndTest, RedirectedOutputReceivesOnlyTheReport) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string file;
    OutputTo output;
    std::optional<long> file_size_limit;
    int status;
    const char* report;
  };
  const Case cases[] = {
      {"a run", {"Y"}, kBefore, OutputTo::File, {}, 0, ""},
      {"a refused switch", {}, kBefore, OutputTo::File, {}, 0, ""},
      {"a short file", {"Y"}, kBefore.substr(0, 100), OutputTo::File, {}, 1, ""},
      {"a failed store", {"Y"}, kBefore, OutputTo::File, 10000, 1,
       "Exception EInOutError in module kovomaint at 00405C48.\r\nDisk full."},
      // A closed pipe is not death by SIGPIPE; with standard output closed,
      // the report must not land in kovo.fon, opened on descriptor 1.
      {"into a closed pipe", {"Y"}, kBefore, OutputTo::ClosedPipe, 10000, 1, ""},
      {"standard output closed", {"Y"}, kBefore, OutputTo::Closed, 10000, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::WriteFileBytes(File(), c.file);
    ProgramOptions options = Options(c.arguments, c.output);
    options.FileSizeLimit = c.file_size_limit;
    const ProgramRun run = testing::RunProgram(KOVOMAINT_PATH, options);
    EXPECT_EQ(run.ExitCode(), c.status) << "wait status " << run.Status;
    EXPECT_EQ(run.Output, c.report);
    const bool sorted = c.status == 0 && !c.arguments.empty();
    EXPECT_TRUE(sorted ? Names() == kSortedNames : testing::ReadFileBytes(File()) == c.file);
  }
}

#if defined(__SANITIZE_ADDRESS__)
#define KOVO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KOVO_ADDRESS_SANITIZER 1
#endif
#endif

// However little memory there is, the run works, ends with the "Out of
// memory" report, or never starts (the loader's status 127).
TEST_F(EndToEndTest, RunningOutOfMemoryAnywhereIsTheReportNeverAnAbort) {
#ifdef KOVO_ADDRESS_SANITIZER
  GTEST_SKIP() << "AddressSanitizer needs more address space than any limit allows";
#endif
  ::unlink(File().c_str());  // the run takes its images and stops, unpaused
  const auto run_with = [&](long limit) {
    ProgramOptions options = Options({"Y"});
    options.MemoryLimit = limit;
    return testing::RunProgram(KOVOMAINT_PATH, options);
  };
  long low = 1L << 20;  // too little to start, then enough to run
  long high = 1L << 30;
  ASSERT_EQ(run_with(high).ExitCode(), 0);
  while (high - low > 4096) {
    const long middle = (low + high) / 2;
    (run_with(middle).ExitCode() == 0 ? high : low) = middle;
  }
  int reports = 0;
  for (long limit = high - 1024 * 1024; limit <= high; limit += 8192) {
    const ProgramRun run = run_with(limit);
    const bool reported = run.Output.find("Out of memory.") != std::string::npos;
    EXPECT_TRUE(run.ExitCode() == (reported ? 1 : 0) || run.ExitCode() == 127) << limit;
    reports += reported ? 1 : 0;
  }
  EXPECT_GT(reports, 0) << "no limit left the run short of memory";
}

// kovolist as a script uses it: diff's statuses for --check, the usual
// conventions, the system's reasons, and never a change to the file.
TEST_F(EndToEndTest, KovolistChecksListsAndNeverTouchesTheFile) {
  const auto kovolist = [&](std::vector<std::string> arguments) {
    return testing::RunProgram(KOVOLIST_PATH, Options(std::move(arguments), OutputTo::File));
  };
  const ProgramRun after = kovolist({"--after", "Y"});
  ASSERT_EQ(after.ExitCode(), 0);
  struct stat before_calls {};
  ::stat(File().c_str(), &before_calls);
  testing::WriteFileBytes(dir_.File("short.fon"), std::string(100, 'x'));

  struct Case {
    std::vector<std::string> arguments;
    int status;
    const char* output;  // part of standard output, or of standard error
    bool on_errors;
  };
  const Case cases[] = {
      {{"--check", "Y"}, 1, "changes it:", false},
      {{"--check", "q"}, 0, "refuses the switch", false},
      {{"--check", "-h"}, 1, "\"kovomaint -h\" changes it:", false},
      {{"--check", "Y", "missing.fon"}, 2, "missing.fon: No such file or directory", true},
      {{"--check", "Y", "."}, 2, ".: Is a directory", true},
      {{"--check", "Y", "short.fon"}, 2, "short.fon: 100 bytes, a kovo.fon file has 19700", true},
      {{"short.fon"}, 1, "short.fon: 100 bytes", true},
      {{"--used"}, 0, "7 used, 93 free\n", false},
      {{"--", "--help"}, 1, "--help: No such file or directory", true},
      {{"-"}, 1, "-: No such file or directory", true},
      {{"--help", "--bogus"}, 0, "usage: kovolist", false},
      {{"--version"}, 0, "kovolist (kovomaint) ", false},
      {{"-y"}, 2, "unknown option '-y'\nTry 'kovolist --help'", true},
      {{"--check"}, 2, "--check needs the switch", true},
      {{"--check", "Y", "--json"}, 2, "--check lists nothing", true},
      {{"--after", "Y", "--check", "N"}, 2, "go alone", true},
      {{"a", "b"}, 2, "one file at a time", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const ProgramRun run = kovolist(c.arguments);
    EXPECT_EQ(run.ExitCode(), c.status);
    EXPECT_NE((c.on_errors ? run.Errors : run.Output).find(c.output), std::string::npos)
        << run.Output << run.Errors;
  }
  struct stat after_calls {};
  ::stat(File().c_str(), &after_calls);
  EXPECT_EQ(after_calls.st_mtim.tv_nsec, before_calls.st_mtim.tv_nsec);
  EXPECT_TRUE(testing::ReadFileBytes(File()) == kBefore);

  // A journal beside the file is named; the next run takes it away (an
  // incomplete one is discarded). The dry run's listing is the listing after.
  testing::WriteFileBytes(dir_.File("kovo.fon-journal"), "cut off");
  EXPECT_NE(kovolist({}).Errors.find("warning: kovo.fon-journal stands beside kovo.fon"), std::string::npos);
  ASSERT_EQ(testing::RunProgram(KOVOMAINT_PATH, Options({"Y"}, OutputTo::File)).ExitCode(), 0);
  EXPECT_FALSE(testing::FileExists(dir_.File("kovo.fon-journal")));
  EXPECT_EQ(kovolist({}).Output, after.Output);
  EXPECT_EQ(kovolist({"--check", "Y"}).ExitCode(), 0);
}

}  // namespace
}  // namespace kovo
