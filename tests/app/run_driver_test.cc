#include "app/run_driver.h"

#include <gtest/gtest.h>

#include "console/memory_screen.h"
#include "directory/platform_file_system.h"
#include "support/directory_builder.h"
#include "support/expected_screen.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

using testing::ExpectedScreen;
using testing::FaultyFileSystem;
using testing::ImageBytes;
using testing::ScatteredImage;

// Lists the cells where two grids differ, "" when they agree.
std::string GridDifferences(const MemoryScreen& got, const MemoryScreen& want) {
  std::string out;
  int reported = 0;
  for (int row = 0; row < want.Size().Rows && reported < 10; ++row) {
    if (got.RowText(row) != want.RowText(row)) {
      ++reported;
      out += "row " + std::to_string(row) + ": \"" + got.RowText(row) + "\" want \"" +
             want.RowText(row) + "\"\n";
      continue;
    }
    for (int column = 0; column < want.Size().Columns && reported < 10; ++column) {
      if (got.At(column, row).Attribute != want.At(column, row).Attribute) {
        ++reported;
        out += "colour at " + std::to_string(column) + "," + std::to_string(row) + ": " +
               std::to_string(got.At(column, row).Attribute) + " want " +
               std::to_string(want.At(column, row).Attribute) + "\n";
      }
    }
  }
  return out;
}

class RunDriverTest : public ::testing::Test {
 protected:
  RunOutcome Run(std::optional<std::string> argument, FileSystem* files = nullptr) {
    const testing::ScopedWorkingDirectory cwd(dir_.Path());
    RunContext context{*console_, files != nullptr ? *files : real_files_};
    if (allocate_) context.Allocate = allocate_;
    return RunMaintenance(context, argument);
  }
  void WriteDirectory(const std::string& bytes) { testing::WriteFileBytes(File(), bytes); }
  std::string File() const { return dir_.File("kovo.fon"); }
  std::string Contents() const { return testing::ReadFileBytes(File()); }
  void ExpectScreen(const ExpectedScreen& expected) {
    EXPECT_EQ(GridDifferences(*screen_, expected.Grid()), "");
    EXPECT_EQ(console_->Device.CursorCell().Column, expected.Cursor().Column);
    EXPECT_EQ(console_->Device.CursorCell().Row, expected.Cursor().Row);
    EXPECT_EQ(screen_->Bells(), expected.Bells());
  }

  testing::TempDir dir_;
  PlatformFileSystem real_files_;
  // A fresh 80x25 screen, as a new process would find it.
  void NewScreen() {
    console_.reset();
    screen_ = std::make_unique<MemoryScreen>(80, 25);
    console_ = std::make_unique<Console>(*screen_);
    console_->Device.StartDevice();
  }
  void SetUp() override { NewScreen(); }

  ImageAllocator allocate_;
  std::unique_ptr<MemoryScreen> screen_;
  std::unique_ptr<Console> console_;
};

TEST_F(RunDriverTest, EachPhaseTextStaysOnScreenThroughItsPause) {
  WriteDirectory(ImageBytes(ScatteredImage()));
  ASSERT_EQ(Run("Y").ExitStatus, 0);
  const auto& pauses = screen_->Pauses();
  ASSERT_EQ(pauses.size(), 3u);
  const char* phases[] = {"Reading", "Sorting", "Packing"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(pauses[i].Milliseconds, 150u);
    EXPECT_EQ(pauses[i].CursorRow.substr(0, 28),
              std::string(" \xFE ") + phases[i] + " KOVO.FON: Working");
  }
}

TEST_F(RunDriverTest, FailedStoreIsFatalAndShowsNoPackingLine) {
  const std::string before = ImageBytes(ScatteredImage());
  WriteDirectory(before);
  FaultyFileSystem files(testing::Fault{testing::FileCall::Open, 2, 5, 0, {}});
  const RunOutcome outcome = Run("Y", &files);
  EXPECT_EQ(outcome.ExitStatus, 1);
  ASSERT_TRUE(outcome.Fatal);
  EXPECT_EQ(outcome.Fatal->Kind, FatalKind::InOutError);
  EXPECT_EQ(outcome.Fatal->Step, FatalStep::Reopen);
  EXPECT_EQ(outcome.Fatal->Code, 5);
  ExpectedScreen expected(80, 25);
  expected.Banner().PhaseDone("Reading").PhaseDone("Sorting");
  ExpectScreen(expected);
  EXPECT_EQ(Contents(), before);
}

TEST_F(RunDriverTest, NoMemoryForTheImagesIsFatalAfterTheBanner) {
  const std::string before = ImageBytes(ScatteredImage());
  WriteDirectory(before);
  int taken = 0;
  allocate_ = [&taken]() -> ImagePtr {
    return ++taken == 1 ? AllocateImage() : nullptr;  // the second image fails
  };
  const RunOutcome outcome = Run("N");
  EXPECT_EQ(outcome.ExitStatus, 1);
  ASSERT_TRUE(outcome.Fatal);
  EXPECT_EQ(outcome.Fatal->Kind, FatalKind::OutOfMemory);
  ExpectedScreen expected(80, 25);
  expected.Banner();
  ExpectScreen(expected);
  EXPECT_EQ(Contents(), before);
}

}  // namespace
}  // namespace kovo
