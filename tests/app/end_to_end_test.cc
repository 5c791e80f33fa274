// The built kovomaint run as a user runs it: on a pseudo-terminal whose
// output goes through a terminal emulator, or redirected to a file or pipe.
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <csignal>
#include <sys/wait.h>

#include "directory/directory_entry.h"
#include "support/directory_builder.h"
#include "support/expected_screen.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/vterm_screen.h"

namespace kovo {
namespace {

using testing::DescribeDifferences;
using testing::EmulatedTerminal;
using testing::ExpectedScreen;
using testing::ImageBytes;
using testing::OutputTo;
using testing::ProgramOptions;
using testing::ProgramRun;

const char kDiskFullReport[] =
    "Exception EInOutError in module kovomaint at 00405C48.\r\nDisk full.";

class EndToEndTest : public ::testing::Test {
 protected:
  ProgramRun Run(std::vector<std::string> arguments, OutputTo output = OutputTo::Terminal,
                 std::optional<long> file_size_limit = std::nullopt) {
    ProgramOptions options;
    options.Directory = dir_.Path();
    options.Arguments = std::move(arguments);
    options.Output = output;
    options.Columns = columns_;
    options.Rows = rows_;
    options.FileSizeLimit = file_size_limit;
    return testing::RunProgram(KOVOMAINT_PATH, options);
  }
  void UseTerminalSize(int columns, int rows) {
    columns_ = columns;
    rows_ = rows;
  }
  // Feeds what the run drew into an emulator of the run's terminal size.
  std::unique_ptr<EmulatedTerminal> Emulate(const ProgramRun& run) const {
    auto terminal = std::make_unique<EmulatedTerminal>(columns_, rows_);
    terminal->Feed(run.Output);
    return terminal;
  }
  void ExpectScreen(const EmulatedTerminal& terminal, const ExpectedScreen& expected) const {
    EXPECT_EQ(DescribeDifferences(terminal, expected.Grid(), {0, 0, columns_ - 1, rows_ - 1}), "");
    EXPECT_EQ(terminal.Cursor().Column, expected.Cursor().Column);
    EXPECT_EQ(terminal.Cursor().Row, expected.Cursor().Row);
    EXPECT_EQ(terminal.Bells(), expected.Bells());
  }
  void WriteDirectory(const std::string& bytes) const { testing::WriteFileBytes(File(), bytes); }
  std::string File() const { return dir_.File("kovo.fon"); }
  std::string Contents() const { return testing::ReadFileBytes(File()); }
  std::vector<std::string> Names(int count) const {
    return testing::FirstFields(testing::ImageFromBytes(Contents()), count);
  }

  testing::TempDir dir_;
  int columns_ = 80;
  int rows_ = 25;
};

const std::vector<std::string> kSortedNames = {"10 Downing", "Alpha", "alpha", "ALPHA2",
                                               "beta", "zeta", "\xE1" "ber"};

TEST_F(EndToEndTest, SortRunDrawsBannerAndThreeStatusLinesAtEverySize) {
  const std::pair<int, int> sizes[] = {{80, 25}, {30, 8}, {132, 50}};
  for (const auto& [columns, rows] : sizes) {
    SCOPED_TRACE(std::to_string(columns) + "x" + std::to_string(rows));
    UseTerminalSize(columns, rows);
    WriteDirectory(ImageBytes(testing::ScatteredImage()));
    const ProgramRun run = Run({"Y"});
    EXPECT_EQ(run.ExitCode(), 0);
    ExpectedScreen expected(columns, rows);
    expected.Banner().PhaseDone("Reading").PhaseDone("Sorting").PhaseDone("Packing");
    ExpectScreen(*Emulate(run), expected);
    EXPECT_EQ(Names(7), kSortedNames);
    EXPECT_EQ(Contents().substr(7 * kEntrySize), std::string(93 * kEntrySize, '\0'));
  }
}

TEST_F(EndToEndTest, FailedStoreShowsTheReportInTheTerminalsColours) {
  const std::string before = ImageBytes(testing::ScatteredImage());
  WriteDirectory(before);
  const ProgramRun run = Run({"Y"}, OutputTo::Terminal, 10000);
  EXPECT_EQ(run.ExitCode(), 1);
  EXPECT_EQ(Contents(), before);

  const auto terminal = Emulate(run);
  ExpectedScreen expected(80, 25);
  expected.Banner().PhaseDone("Reading").PhaseDone("Sorting");
  EXPECT_EQ(DescribeDifferences(*terminal, expected.Grid(), {0, 0, 79, 4}), "");
  const std::string first = "Exception EInOutError in module kovomaint at 00405C48.";
  EXPECT_EQ(terminal->RowText(5), first + std::string(80 - first.size(), ' '));
  EXPECT_EQ(terminal->RowText(6), "Disk full." + std::string(70, ' '));
  for (int column = 0; column < 10; ++column) {
    EXPECT_EQ(terminal->At(column, 6).Foreground, -1);
    EXPECT_EQ(terminal->At(column, 6).Background, -1);
  }
  EXPECT_EQ(terminal->Cursor().Column, 10);
  EXPECT_EQ(terminal->Cursor().Row, 6);
}

// Output that is not a terminal receives nothing but the fatal report, and
// the status holds whatever becomes of standard output.
TEST_F(EndToEndTest, RedirectedOutputReceivesOnlyTheReport) {
  const std::string before = ImageBytes(testing::ScatteredImage());
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
      {"a run", {"Y"}, before, OutputTo::File, {}, 0, ""},
      {"a refused switch", {}, before, OutputTo::File, {}, 0, ""},
      {"a short file", {"Y"}, before.substr(0, 100), OutputTo::File, {}, 1, ""},
      {"a failed store", {"Y"}, before, OutputTo::File, 10000, 1, kDiskFullReport},
      // A closed pipe is not death by SIGPIPE; with standard output closed,
      // the report must not land in kovo.fon, opened on descriptor 1.
      {"into a closed pipe", {"Y"}, before, OutputTo::ClosedPipe, 10000, 1, ""},
      {"standard output closed", {"Y"}, before, OutputTo::Closed, 10000, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteDirectory(c.file);
    const ProgramRun run = Run(c.arguments, c.output, c.file_size_limit);
    ASSERT_TRUE(run.Exited()) << "signal " << WTERMSIG(run.Status);
    EXPECT_EQ(run.ExitCode(), c.status);
    EXPECT_EQ(run.Output, c.report);
    const bool sorted = c.status == 0 && !c.arguments.empty();
    EXPECT_TRUE(sorted ? Names(7) == kSortedNames : Contents() == c.file);
  }
}

#if defined(__SANITIZE_ADDRESS__)
#define KOVO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KOVO_ADDRESS_SANITIZER 1
#endif
#endif

// However little memory there is, the run either works, or ends with the
// "Out of memory" report, or never starts (the loader's status 127).
TEST_F(EndToEndTest, RunningOutOfMemoryAnywhereIsTheReportNeverAnAbort) {
#ifdef KOVO_ADDRESS_SANITIZER
  GTEST_SKIP() << "AddressSanitizer needs more address space than any limit allows";
#endif
  // No kovo.fon: the run takes its images and stops right after, unpaused.
  const auto run_with = [&](long limit) {
    ProgramOptions options;
    options.Directory = dir_.Path();
    options.Arguments = {"Y"};
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
    SCOPED_TRACE(limit);
    const ProgramRun run = run_with(limit);
    ASSERT_TRUE(run.Exited()) << "signal " << WTERMSIG(run.Status);
    if (run.ExitCode() == 1) {
      EXPECT_NE(run.Output.find("Out of memory."), std::string::npos) << run.Output;
      ++reports;
    } else {
      EXPECT_TRUE(run.ExitCode() == 0 || run.ExitCode() == 127) << run.ExitCode();
    }
  }
  EXPECT_GT(reports, 0) << "no limit left the run short of memory";
}

// The first row whose text starts with prefix, or -1.
int RowStarting(const EmulatedTerminal& terminal, int rows, const std::string& prefix) {
  for (int row = 0; row < rows; ++row) {
    if (terminal.RowText(row).compare(0, prefix.size(), prefix) == 0) return row;
  }
  return -1;
}

// The terminal resized, or the run stopped and resumed with the shell
// printing in between, in the middle of a run: the run's status lines end up
// whole on consecutive rows, with the cursor alone on the row below them.
TEST_F(EndToEndTest, ResizeOrStopMidRunLeavesTheLinesWholeAndTheCursorBelow) {
  struct Case {
    const char* name;
    int columns, rows, new_columns, new_rows;
    bool stop;
  };
  const Case cases[] = {
      {"shrunk to 60x5, below the banner's height", 80, 25, 60, 5, false},
      {"shrunk to 44x10", 80, 25, 44, 10, false},
      {"grown from 30x8", 30, 8, 80, 25, false},
      {"stopped, the shell printing, resumed", 80, 25, 80, 25, true},
  };
  const std::string shell = "^Z\r\n[1]+  Stopped    kovomaint Y\r\n$ fg\r\nkovomaint Y\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteDirectory(ImageBytes(testing::ScatteredImage()));
    ProgramOptions options;
    options.Directory = dir_.Path();
    options.Arguments = {"Y"};
    options.Columns = c.columns;
    options.Rows = c.rows;
    options.MidRun = [&c](int controller, pid_t program) {
      if (c.stop) {
        ::kill(program, SIGSTOP);
        ::usleep(100000);
        ::kill(program, SIGCONT);
        return;
      }
      const winsize size{static_cast<unsigned short>(c.new_rows),
                         static_cast<unsigned short>(c.new_columns), 0, 0};
      ::ioctl(controller, TIOCSWINSZ, &size);
    };
    const ProgramRun run = testing::RunProgram(KOVOMAINT_PATH, options);
    ASSERT_EQ(run.ExitCode(), 0);

    EmulatedTerminal terminal(c.columns, c.rows);
    terminal.Feed(run.Output.substr(0, run.OutputBeforeHook));
    if (c.stop) {
      terminal.Feed(shell);
    } else {
      terminal.Resize(c.new_columns, c.new_rows);
    }
    terminal.Feed(run.Output.substr(run.OutputBeforeHook));

    const int packing = RowStarting(terminal, c.new_rows, " \u25A0 Packing KOVO.FON: DONE");
    std::string shown;
    for (int row = 0; row < c.new_rows; ++row) shown += "|" + terminal.RowText(row) + "|\n";
    ASSERT_GE(packing, 2) << "the packing line is not whole on any row:\n" << shown;
    EXPECT_EQ(terminal.RowText(packing - 2).substr(0, 27), " \u25A0 Reading KOVO.FON: DONE");
    EXPECT_EQ(terminal.RowText(packing - 1).substr(0, 27), " \u25A0 Sorting KOVO.FON: DONE");
    EXPECT_EQ(terminal.Cursor().Row, packing + 1);
    EXPECT_EQ(terminal.Cursor().Column, 0);
    EXPECT_EQ(RowStarting(terminal, c.new_rows, "[1]+"), -1) << "the shell's lines stay mixed in";
    if (packing + 1 < c.new_rows) {
      EXPECT_EQ(terminal.RowText(packing + 1), std::string(static_cast<std::size_t>(c.new_columns), ' '));
    }
  }
}

// kovolist as a script uses it: diff's statuses for --check, the usual
// conventions, the system's reasons, and never a change to the file.
TEST_F(EndToEndTest, KovolistChecksListsAndNeverTouchesTheFile) {
  const auto kovolist = [&](std::vector<std::string> arguments) {
    ProgramOptions options;
    options.Directory = dir_.Path();
    options.Arguments = std::move(arguments);
    options.Output = OutputTo::File;
    return testing::RunProgram(KOVOLIST_PATH, options);
  };
  WriteDirectory(ImageBytes(testing::ScatteredImage()));
  const ProgramRun after = kovolist({"--after", "Y"});
  ASSERT_EQ(after.ExitCode(), 0);
  struct stat before_run {};
  ASSERT_EQ(::stat(File().c_str(), &before_run), 0);
  const std::string bytes = Contents();

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
      {{"--help"}, 0, "usage: kovolist", false},
      {{"--version"}, 0, "kovolist (kovomaint) ", false},
      {{"--bogus"}, 2, "unknown option '--bogus'", true},
      {{"a", "b"}, 2, "one file at a time", true},
  };
  testing::WriteFileBytes(dir_.File("short.fon"), std::string(100, 'x'));
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const ProgramRun run = kovolist(c.arguments);
    EXPECT_EQ(run.ExitCode(), c.status);
    EXPECT_NE((c.on_errors ? run.Errors : run.Output).find(c.output), std::string::npos)
        << run.Output << run.Errors;
  }
  struct stat after_runs {};
  ASSERT_EQ(::stat(File().c_str(), &after_runs), 0);
  EXPECT_EQ(after_runs.st_mtim.tv_sec, before_run.st_mtim.tv_sec);
  EXPECT_EQ(after_runs.st_mtim.tv_nsec, before_run.st_mtim.tv_nsec);
  EXPECT_TRUE(Contents() == bytes);

  // A journal left beside the file is named; the next run takes it away (an
  // incomplete one is discarded).
  testing::WriteFileBytes(dir_.File("kovo.fon-journal"), "cut off");
  EXPECT_NE(kovolist({}).Errors.find("warning: kovo.fon-journal stands beside kovo.fon"),
            std::string::npos);

  // The dry run's listing is the plain listing after the real run.
  ASSERT_EQ(Run({"Y"}, OutputTo::File).ExitCode(), 0);
  EXPECT_FALSE(testing::FileExists(dir_.File("kovo.fon-journal")));
  EXPECT_EQ(kovolist({}).Output, after.Output);
  EXPECT_EQ(kovolist({"--check", "Y"}).ExitCode(), 0);
}

}  // namespace
}  // namespace kovo
