#include "app/run_driver.h"

#include <functional>
#include <gtest/gtest.h>

#include "console/memory_screen.h"
#include "directory/maintenance_passes.h"
#include "support/directory_builder.h"
#include "support/expected_screen.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

using testing::ExpectedScreen;
using testing::ImageBytes;

// One run on a fresh 80x25 memory screen, in a folder holding file (none
// when absent), with at most one fault and an allocator that may fail.
struct DriverRun {
  RunOutcome Outcome;
  MemoryScreen Screen{80, 25};
  std::string File;
};

void RunIn(DriverRun& run, std::optional<std::string> argument, std::optional<std::string> file,
           std::optional<testing::Fault> fault = std::nullopt, ImageAllocator allocate = AllocateImage) {
  testing::TempDir dir;
  if (file) testing::WriteFileBytes(dir.File("kovo.fon"), *file);
  Console console(run.Screen);
  console.Device.StartDevice();
  testing::FaultyFileSystem files(fault);
  RunContext context{console, files, std::move(allocate)};
  {
    const testing::ScopedWorkingDirectory cwd(dir.Path());
    run.Outcome = RunMaintenance(context, argument);
  }
  run.File = testing::FileExists(dir.File("kovo.fon")) ? testing::ReadFileBytes(dir.File("kovo.fon")) : "";
}

std::string Finished(bool sort) {
  DirectoryImage work{};
  const int kept = PackEntries(testing::ScatteredImage(), work);
  if (sort) SortEntries(work, kept);
  return ImageBytes(work);
}

// Every way a run can end: its lines, its bell, its status, the fatal
// report's kind and step, and the file it leaves.
TEST(RunMaintenance, EveryOutcomeDrawsItsLinesAndLeavesItsFile) {
  const std::string scattered = ImageBytes(testing::ScatteredImage());
  const auto none_left = [] { return ImagePtr(); };
  struct Case {
    const char* name;
    std::optional<std::string> argument;
    std::optional<std::string> file;
    std::optional<testing::Fault> fault;
    ImageAllocator allocate;
    std::function<void(ExpectedScreen&)> lines;
    int status;
    std::optional<FatalStep> fatal;
    std::string file_after;
  };
  const Case cases[] = {
      {"Y", "Y", scattered, {}, AllocateImage,
       [](ExpectedScreen& e) { e.PhaseDone("Reading").PhaseDone("Sorting").PhaseDone("Packing"); },
       0, {}, Finished(true)},
      {"n", "n", scattered, {}, AllocateImage,
       [](ExpectedScreen& e) { e.PhaseDone("Reading").PhaseDone("Packing"); }, 0, {}, Finished(false)},
      {"no switch", std::nullopt, scattered, {}, AllocateImage,
       [](ExpectedScreen& e) {
         e.Text(8, " ").Text(10, "\xFE ").Text(12, "Invalid paramaters").LineEnd();
         e.Text(12, " ").Text(10, "\xFE ").Text(15, "Either Y or N").LineEnd();
       },
       0, {}, scattered},
      {"a wrong letter", "q", scattered, {}, AllocateImage,
       [](ExpectedScreen& e) {
         e.Text(8, " ").Text(15, "\xFE ").Text(7, "incorrect switch.").LineEnd();
         e.Text(7, " ").Text(15, "\xFE ").Text(7, "Valid switch Y or N ").LineEnd();
       },
       0, {}, scattered},
      {"no file", "Y", std::nullopt, {}, AllocateImage,
       [](ExpectedScreen& e) {
         e.Bell();
         e.Text(15, "\xFE ").Text(12, "Can't locate .fon file").LineEnd();
       },
       0, {}, ""},
      {"a short file", "Y", scattered.substr(0, kImageSize - 1), {}, AllocateImage,
       [](ExpectedScreen& e) {
         e.Bell();
         e.Text(8, "bad or corrupt kovo.fon!").LineEnd();
       },
       1, {}, scattered.substr(0, kImageSize - 1)},
      {"a failed reopen", "Y", scattered, testing::Fault{testing::FileCall::Open, 2, 5, 0, {}},
       AllocateImage, [](ExpectedScreen& e) { e.PhaseDone("Reading").PhaseDone("Sorting"); }, 1,
       FatalStep::Reopen, scattered},
      {"no memory", "N", scattered, {}, none_left, [](ExpectedScreen&) {}, 1,
       FatalStep::TakeImages, scattered},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DriverRun run;
    RunIn(run, c.argument, c.file, c.fault, c.allocate);
    ExpectedScreen expected(80, 25);
    c.lines(expected.Banner());
    for (int row = 0; row < 25; ++row) {
      EXPECT_EQ(run.Screen.RowText(row), expected.Grid().RowText(row));
      for (int column = 0; column < 80; ++column)
        ASSERT_EQ(run.Screen.At(column, row).Attribute, expected.Grid().At(column, row).Attribute)
            << column << "," << row;
    }
    EXPECT_EQ(run.Screen.Cursor().Column, expected.Cursor().Column);
    EXPECT_EQ(run.Screen.Cursor().Row, expected.Cursor().Row);
    EXPECT_EQ(run.Screen.Bells(), expected.Bells());
    EXPECT_EQ(run.Outcome.ExitStatus, c.status);
    EXPECT_EQ(run.Outcome.Fatal.has_value(), c.fatal.has_value());
    EXPECT_TRUE(!c.fatal || !run.Outcome.Fatal || run.Outcome.Fatal->Step == *c.fatal);
    EXPECT_TRUE(run.File == c.file_after);
  }
}

TEST(RunMaintenance, EachPhaseTextStaysOnScreenThroughItsPause) {
  DriverRun run;
  RunIn(run, "Y", ImageBytes(testing::ScatteredImage()));
  const auto& pauses = run.Screen.Pauses();
  ASSERT_EQ(pauses.size(), 3u);
  const char* phases[] = {"Reading", "Sorting", "Packing"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(pauses[i].Milliseconds, 150u);
    EXPECT_EQ(pauses[i].CursorRow.substr(0, 28),
              std::string(" \xFE ") + phases[i] + " KOVO.FON: Working");
  }
}

}  // namespace
}  // namespace kovo
