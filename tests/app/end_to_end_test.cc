// The built programs run as a user runs them: on a pseudo-terminal read back
// through a terminal emulator, or redirected to a file, a pipe or nowhere.
#include <csignal>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include "support/directory_builder.h"
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
    return [=](ProgramOptions& o) { o.Columns = columns, o.Rows = rows; };
  };
  const auto redirect = [&](OutputTo output, std::optional<long> limit) {
    return [=](ProgramOptions& o) { o.Output = output, o.FileSizeLimit = limit; };
  };
  const Case cases[] = {
      {"80x25", size(80, 25), 0, 6, whole},
      {"30x8, the banner wrapping", size(30, 8), 0, 7, phases},
      {"the store failing", [](ProgramOptions& o) { o.FileSizeLimit = 10000; }, 1, 6,
       {Done("Reading"), Done("Sorting"), kDiskFull, "Disk full."}},
      {"shrunk to 60x5, below the banner's height", size(80, 25), 0, 4, phases, 60, 5},
      {"shrunk to 44x10", size(80, 25), 0, 6, phases, 44, 10},
      {"grown from 30x8", size(30, 8), 0, 7, phases, 80, 25},
      {"stopped, the shell printing, resumed", size(80, 25), 0, 6, whole, 0, 0, true},
      {"a terminal with no columns", size(0, 25), 0, 0, {""}},
      {"TERM=dumb", [](ProgramOptions& o) { o.Term = "dumb"; }, 0, 0, {""}},
      {"no TERM", [](ProgramOptions& o) { o.Term = nullptr; }, 0, 0, {""}},
      {"an ASCII locale", [](ProgramOptions& o) { o.Lang = "C"; }, 0, 6,
       {" Kovo/w32 Maintenence ?1 v1.00 [win32 version]", whole[1], whole[2], " ? Reading KOVO.FON: DONE",
        " ? Sorting KOVO.FON: DONE", " ? Packing KOVO.FON: DONE", ""}},
      {"a file", redirect(OutputTo::File, {}), 0, 0, {""}},
      {"a file, the store failing", redirect(OutputTo::File, 10000), 1, 0, {kDiskFull, "Disk full."}},
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
        ::kill(program, SIGSTOP), ::usleep(100000), ::kill(program, SIGCONT);
      };
    } else if (c.new_columns != 0) {
      options.MidRun = [&c](int controller, pid_t) {
        const winsize size{static_cast<unsigned short>(c.new_rows), static_cast<unsigned short>(c.new_columns), 0, 0};
        ::ioctl(controller, TIOCSWINSZ, &size);
      };
    }
    const std::string file = testing::ReadFileBytes(File());
    const ProgramRun run = testing::RunProgram(KOVOMAINT_PATH, options);
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

// However little memory there is, the run works, ends with the "Out of
// memory" report, or never starts (the loader's status 127).
TEST_F(EndToEndTest, RunningOutOfMemoryAnywhereIsTheReportNeverAnAbort) {
#ifdef KOVO_SANITIZED
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
      {{"--check", "Y", "missing.fon"}, 2, "missing.fon: No such file or directory", true},
      {{"--check", "Y", "."}, 2, ".: Is a directory", true},
      {{"--check", "Y", "short.fon"}, 2, "short.fon: 100 bytes, a kovo.fon file has 19700", true},
      {{"short.fon"}, 1, "short.fon: 100 bytes", true},
      {{"--used"}, 0, "7 used, 93 free\n", false},
      {{"--", "--help"}, 1, "--help: No such file or directory", true},
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
    EXPECT_NE((c.on_errors ? run.Errors : run.Output).find(c.output), std::string::npos) << run.Output << run.Errors;
  }
  struct stat after_calls {};
  ::stat(File().c_str(), &after_calls);
  EXPECT_EQ(after_calls.st_mtim.tv_nsec, before_calls.st_mtim.tv_nsec);

  // A journal beside the file is named; the next run takes it away (an
  // incomplete one is discarded). The dry run's listing is the listing after.
  testing::WriteFileBytes(dir_.File("kovo.fon-journal"), "cut off");
  EXPECT_NE(kovolist({}).Errors.find("warning: kovo.fon-journal stands beside kovo.fon"), std::string::npos);
  ASSERT_EQ(testing::RunProgram(KOVOMAINT_PATH, Options({"Y"}, OutputTo::File)).ExitCode(), 0);
  EXPECT_FALSE(testing::FileExists(dir_.File("kovo.fon-journal")));
  EXPECT_EQ(kovolist({}).Output, after.Output);
}

}  // namespace
}  // namespace kovo
