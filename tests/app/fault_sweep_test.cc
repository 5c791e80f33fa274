// Every file call of a whole run made to fail in turn, with every class of
// error and with short transfers: the run must end with the right status and
// text, and the file must be either as it was or the finished image.
#include <gtest/gtest.h>
#include <memory>
#include <optional>

#include "app/run_driver.h"
#include "console/memory_screen.h"
#include "support/directory_builder.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

using testing::Fault;
using testing::FileCall;

enum class Expect { CannotLocate, BadOrCorrupt, ReportUnchanged, ReportFinished };

struct SweepCase {
  bool sort;
  Fault fault;
  Expect expect;
};

struct ErrorClass {
  int code;
  const char* message;
};

const ErrorClass kErrorClasses[] = {
    {2, "File not found"},  {5, "File access denied"}, {112, "I/O error 112"},
    {1117, "I/O error 1117"}, {995, "I/O error 995"},
};

std::string ReportMessage(int code) {
  for (const ErrorClass& error : kErrorClasses) {
    if (error.code == code) return error.message;
  }
  return code == kShortWrite ? "Disk full" : "?";
}

std::vector<SweepCase> AllCases() {
  std::vector<SweepCase> cases;
  for (const bool sort : {true, false}) {
    const auto add = [&](FileCall call, int occurrence, int code, std::size_t count, Expect expect) {
      cases.push_back({sort, Fault{call, occurrence, code, count}, expect});
    };
    for (const ErrorClass& error : kErrorClasses) {
      add(FileCall::Open, 1, error.code, 0, Expect::CannotLocate);
      add(FileCall::Open, 2, error.code, 0, Expect::ReportUnchanged);
      add(FileCall::Close, 1, error.code, 0, Expect::ReportUnchanged);
      add(FileCall::Close, 2, error.code, 0, Expect::ReportFinished);
      add(FileCall::Sync, 1, error.code, 0, Expect::ReportUnchanged);
      for (const std::size_t count : {std::size_t{0}, std::size_t{1}, kImageSize - 1}) {
        add(FileCall::Read, 1, error.code, count, Expect::BadOrCorrupt);
        add(FileCall::Write, 1, error.code, count, Expect::ReportUnchanged);
      }
    }
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, kImageSize - 1}) {
      add(FileCall::Read, 1, 0, count, Expect::BadOrCorrupt);
      add(FileCall::Write, 1, 0, count, Expect::ReportUnchanged);
    }
  }
  return cases;
}

std::string Describe(const SweepCase& c) {
  return std::string(c.sort ? "Y" : "N") + " " + testing::FileCallName(c.fault.Call) + "#" +
         std::to_string(c.fault.Occurrence) + " code " + std::to_string(c.fault.Code) +
         " after " + std::to_string(c.fault.Count) + " bytes";
}

// One whole run in dir on an 80x25 memory screen, with at most one fault.
struct SweepRun {
  RunOutcome Outcome;
  std::unique_ptr<MemoryScreen> Screen = std::make_unique<MemoryScreen>(80, 25);
  int OpenHandles = 0;
};

SweepRun RunWithFault(const std::string& dir, bool sort, std::optional<Fault> fault) {
  SweepRun run;
  Console console(*run.Screen);
  console.Device.StartDevice();
  testing::FaultyFileSystem files(fault);
  RunContext context{console, files};
  context.PhasePauseMs = 0;
  {
    const testing::ScopedWorkingDirectory cwd(dir);
    run.Outcome = RunMaintenance(context, sort ? "Y" : "N");
  }
  run.OpenHandles = files.OpenHandles();
  return run;
}

// The image a finished run stores, computed on a healthy file.
std::string FinishedImage(const std::string& dir, bool sort) {
  testing::WriteFileBytes(dir + "/kovo.fon", testing::ImageBytes(testing::ScatteredImage()));
  EXPECT_EQ(RunWithFault(dir, sort, std::nullopt).Outcome.ExitStatus, 0);
  return testing::ReadFileBytes(dir + "/kovo.fon");
}

TEST(FaultSweep, EveryFailingCallEndsCleanly) {
  testing::TempDir dir;
  const std::string before = testing::ImageBytes(testing::ScatteredImage());
  const std::string finished[2] = {FinishedImage(dir.Path(), false), FinishedImage(dir.Path(), true)};
  ASSERT_NE(finished[0], before);
  ASSERT_NE(finished[1], finished[0]);

  const std::vector<SweepCase> cases = AllCases();
  for (const SweepCase& c : cases) {
    SCOPED_TRACE(Describe(c));
    testing::WriteFileBytes(dir.File("kovo.fon"), before);
    const SweepRun run = RunWithFault(dir.Path(), c.sort, c.fault);
    const RunOutcome& outcome = run.Outcome;
    const MemoryScreen& screen = *run.Screen;
    const std::string after = testing::ReadFileBytes(dir.File("kovo.fon"));
    EXPECT_EQ(run.OpenHandles, 0);

    switch (c.expect) {
      case Expect::CannotLocate:
        EXPECT_EQ(outcome.ExitStatus, 0);
        EXPECT_FALSE(outcome.Fatal);
        EXPECT_EQ(screen.RowText(3).substr(0, 24), "\xFE Can't locate .fon file");
        EXPECT_EQ(after, before);
        break;
      case Expect::BadOrCorrupt:
        EXPECT_EQ(outcome.ExitStatus, 1);
        EXPECT_FALSE(outcome.Fatal);
        EXPECT_EQ(screen.RowText(3).substr(0, 24), "bad or corrupt kovo.fon!");
        EXPECT_EQ(after, before);
        break;
      case Expect::ReportUnchanged:
      case Expect::ReportFinished: {
        EXPECT_EQ(outcome.ExitStatus, 1);
        ASSERT_TRUE(outcome.Fatal);
        const int code = c.fault.Code != 0 || c.fault.Call != FileCall::Write ? c.fault.Code
                                                                              : kShortWrite;
        const std::string report = FatalReportText(*outcome.Fatal, "kovomaint");
        EXPECT_EQ(report.substr(report.find("\r\n") + 2), ReportMessage(code) + ".");
        EXPECT_EQ(after, c.expect == Expect::ReportUnchanged ? before : finished[c.sort]);
        EXPECT_EQ(screen.RowText(c.sort ? 5 : 4).substr(0, 10), std::string(10, ' '))
            << "no packing line after a failed store";
        break;
      }
    }
  }
  std::printf("fault sweep: %zu cases\n", cases.size());
}

}  // namespace
}  // namespace kovo
