// Every file call of a whole run made to fail in turn, with every class of
// error and with short transfers: the run must end with the right status and
// text, and the file must be either as it was or the finished image.
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <tuple>

#include "app/run_driver.h"
#include "directory/platform_file_system.h"
#include "directory/store_journal.h"
#include "console/memory_screen.h"
#include "support/directory_builder.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

using testing::Fault;
using testing::FileCall;

enum class Expect { Done, CannotLocate, BadOrCorrupt, ReportUnchanged, ReportFinished };

struct SweepCase {
  bool sort;
  Fault fault;
  Expect expect;
  int reported;  // the code the fatal report names
};

// Not found, access denied, disk full, device error, interrupted.
const int kErrorCodes[] = {2, 5, 112, 1117, 995};

// A run's file calls in order, each with what its failure must lead to. A
// transfer that stops short with no error reports short_code.
struct CallPoint {
  FileCall call;
  int occurrence;
  Expect expect;
  bool transfers;
  int short_code;
};

const CallPoint kCallPoints[] = {
    {FileCall::Describe, 1, Expect::ReportUnchanged, false, 0},  // looking for a journal
    {FileCall::Open, 1, Expect::CannotLocate, false, 0},
    {FileCall::Lock, 1, Expect::BadOrCorrupt, false, 0},          // shared, for the read
    {FileCall::Read, 1, Expect::BadOrCorrupt, true, 0},
    {FileCall::Describe, 2, Expect::BadOrCorrupt, false, 0},
    {FileCall::Lock, 2, Expect::Done, false, 0},                  // the unlock after the read
    {FileCall::Close, 1, Expect::ReportUnchanged, false, 0},
    {FileCall::Open, 2, Expect::ReportUnchanged, false, 0},
    {FileCall::Lock, 3, Expect::ReportUnchanged, false, 0},       // exclusive, for the store
    {FileCall::Describe, 3, Expect::ReportUnchanged, false, 0},
    {FileCall::Describe, 4, Expect::ReportUnchanged, false, 0},   // what the name means now
    {FileCall::Read, 2, Expect::ReportUnchanged, true, kSharingViolation},
    {FileCall::Create, 1, Expect::ReportUnchanged, false, 0},     // the journal
    {FileCall::Write, 1, Expect::ReportUnchanged, true, kShortWrite},
    {FileCall::Sync, 1, Expect::ReportUnchanged, false, 0},
    {FileCall::Close, 2, Expect::ReportUnchanged, false, 0},
    {FileCall::SyncFolder, 1, Expect::ReportUnchanged, false, 0},
    {FileCall::Write, 2, Expect::ReportUnchanged, true, kShortWrite},  // the file itself
    {FileCall::Sync, 2, Expect::ReportUnchanged, false, 0},
    {FileCall::Remove, 1, Expect::ReportUnchanged, false, 0},     // the journal, at the end
    {FileCall::Close, 3, Expect::ReportFinished, false, 0},
};

// Where a failure takes another road than its call point's usual one.
Expect ExpectFor(const CallPoint& point, int code) {
  // No journal to find; no room for a new one (the store goes on without).
  if (point.call == FileCall::Describe && point.occurrence == 1 && code == 2) return Expect::Done;
  if (point.call == FileCall::Create && code == 5) return Expect::Done;
  return point.expect;
}

std::vector<SweepCase> AllCases() {
  std::vector<SweepCase> cases;
  for (const bool sort : {true, false}) {
    for (const CallPoint& point : kCallPoints) {
      const auto add = [&](int code, std::size_t count) {
        const int reported = code != 0 ? code : point.short_code;
        cases.push_back(
            {sort, Fault{point.call, point.occurrence, code, count, {}}, ExpectFor(point, code), reported});
      };
      const std::vector<std::size_t> counts =
          point.transfers ? std::vector<std::size_t>{0, 1, kImageSize - 1} : std::vector<std::size_t>{0};
      for (const int code : kErrorCodes) {
        for (const std::size_t count : counts) add(code, count);
      }
      if (point.transfers) {
        for (const std::size_t count : counts) add(0, count);
      }
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
    EXPECT_FALSE(testing::FileExists(dir.File("kovo.fon-journal")));

    switch (c.expect) {
      case Expect::Done:
        EXPECT_EQ(outcome.ExitStatus, 0);
        EXPECT_FALSE(outcome.Fatal);
        EXPECT_EQ(after, finished[c.sort]);
        break;
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
        EXPECT_EQ(outcome.Fatal->Code, c.reported);
        EXPECT_EQ(after, c.expect == Expect::ReportUnchanged ? before : finished[c.sort]);
        EXPECT_EQ(screen.RowText(c.sort ? 5 : 4).substr(0, 10), std::string(10, ' '))
            << "no packing line after a failed store";
        break;
      }
    }
  }
  std::printf("fault sweep: %zu cases\n", cases.size());
}

// A torn file with the complete journal of the store that tore it, as a kill
// in the middle of the write leaves them.
void CutOffStore(const std::string& path, const std::string& before, const std::string& after) {
  testing::WriteFileBytes(path, before);
  PlatformFileSystem files;
  const OpenResult opened = files.OpenExisting(path.c_str());
  ASSERT_TRUE(opened.ok());
  const auto record = std::make_unique<JournalRecord>();
  FillJournal(*record, files.Describe(opened.Handle).Identity, kImageSize,
              testing::ImageFromBytes(before), testing::ImageFromBytes(after));
  ASSERT_TRUE(BeginJournal(files, JournalName(path), *record).Written);
  ASSERT_TRUE(files.WriteAt(opened.Handle, 0, after.data(), 5000).ok());
  ASSERT_TRUE(files.Close(opened.Handle).ok());
}

TEST(FaultSweep, EveryFailingCallOfARollBackKeepsTheJournalForTheNextRun) {
  testing::TempDir dir;
  const std::string before = testing::ImageBytes(testing::ScatteredImage());
  const std::string finished = FinishedImage(dir.Path(), true);
  // The roll-back's calls: look for the journal, open and lock the file,
  // look again and read the journal whole, check, rewrite and sync the file,
  // remove the journal, close the file (the journal stays only when a
  // failure comes before its removal).
  const std::tuple<FileCall, int, bool> calls[] = {
      {FileCall::Describe, 1, true}, {FileCall::Open, 1, true},     {FileCall::Lock, 1, true},
      {FileCall::Describe, 2, true}, {FileCall::Open, 2, true},     {FileCall::Read, 1, true},
      {FileCall::Read, 2, true},     {FileCall::Describe, 3, true}, {FileCall::Read, 3, true},
      {FileCall::Write, 1, true},    {FileCall::Sync, 1, true},     {FileCall::Remove, 1, true},
      {FileCall::Close, 2, false}};
  for (const auto& [call, occurrence, journal_stays] : calls) {
    SCOPED_TRACE(std::string(testing::FileCallName(call)) + "#" + std::to_string(occurrence));
    CutOffStore(dir.File("kovo.fon"), before, finished);
    const SweepRun failed = RunWithFault(dir.Path(), true, Fault{call, occurrence, 1117, 0, {}});
    ASSERT_TRUE(failed.Outcome.Fatal);
    EXPECT_EQ(failed.Outcome.Fatal->Step, FatalStep::Recover);
    EXPECT_EQ(failed.Outcome.Fatal->Code, 1117);
    EXPECT_EQ(failed.OpenHandles, 0);
    EXPECT_EQ(testing::FileExists(dir.File("kovo.fon-journal")), journal_stays);

    EXPECT_EQ(RunWithFault(dir.Path(), true, std::nullopt).Outcome.ExitStatus, 0);
    EXPECT_TRUE(testing::ReadFileBytes(dir.File("kovo.fon")) == finished);
    EXPECT_FALSE(testing::FileExists(dir.File("kovo.fon-journal")));
  }
}

}  // namespace
}  // namespace kovo
