// Whole runs on a memory screen over the file seam: every outcome's lines,
// status, report and file, and every file call of a run made to fail in turn.
#include "app/run_driver.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

#include "app/fatal_report.h"
#include "support/directory_builder.h"
#include "support/faulty_file_system.h"
#include "support/memory_screen.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

using testing::Fault;
using testing::FileCall;
using testing::Finished;
using testing::kScattered;
using testing::MemoryScreen;
using testing::PhaseDone;

struct DriverRun {
  RunOutcome Outcome;
  std::unique_ptr<MemoryScreen> Screen = std::make_unique<MemoryScreen>(80, 25);
  int OpenHandles = 0;
  std::string File;  // kovo.fon afterwards, empty when there is none
  bool Journal = false;
  std::vector<FileCall> Calls;  // the file calls it made, in order
};

// One run in dir with at most one fault and an allocator that may fail.
DriverRun RunIn(const testing::TempDir& dir, std::optional<std::string> argument,
                std::optional<Fault> fault = std::nullopt, RunMemoryPtr (*take_memory)() = TakeRunMemory) {
  DriverRun run;
  Console console(*run.Screen);
  console.Device.StartDevice();
  testing::FaultyFileSystem files(fault);
  RunContext context{console, files, take_memory};
  {
    const testing::ScopedWorkingDirectory cwd(dir.Path());
    run.Outcome = RunMaintenance(context, argument);
  }
  run.OpenHandles = files.OpenHandles();
  run.Calls = files.Calls();
  run.File = testing::ReadFileBytes(dir.File("kovo.fon"));
  run.Journal = testing::FileExists(dir.File("kovo.fon-journal"));
  return run;
}

// The fatal report as the program writes it, module "km".
std::string ReportOf(const std::optional<Status>& failure) {
  char report[96];
  return failure ? std::string(report, FormatFatalReport(*failure, "km", report, sizeof report)) : "";
}

TEST(RunMaintenance, EveryOutcomeDrawsItsLinesAndLeavesItsFile) {
  struct Case {
    const char* name;
    std::optional<std::string> argument;
    std::optional<std::string> file;
    std::optional<Fault> fault;
    std::vector<std::string> lines;  // after the banner, in pipe codes
    int status;
    const char* report;  // the fatal report
    std::string file_after;
    RunMemoryPtr (*take_memory)() = TakeRunMemory;
  };
  const std::vector<std::string> sorted = {PhaseDone("Reading"), PhaseDone("Sorting"), PhaseDone("Packing")};
  const Case cases[] = {
      {"Y", "Y", kScattered, {}, sorted, 0, "", Finished(true)},
      {"n", "n", kScattered, {}, {PhaseDone("Reading"), PhaseDone("Packing")}, 0, "", Finished(false)},
      {"no switch", std::nullopt, kScattered, {},
       {"|08 |10\xFE |12Invalid paramaters", "|12 |10\xFE |15Either Y or N"}, 0, "", kScattered},
      {"a wrong letter", "q", kScattered, {},
       {"|08 |15\xFE |07incorrect switch.", "|07 |15\xFE |07Valid switch Y or N "}, 0, "", kScattered},
      {"no file", "Y", std::nullopt, {}, {"\a|15\xFE |12Can't locate .fon file"}, 0, "", ""},
      {"a short file", "Y", kScattered.substr(1), {}, {"\a|08bad or corrupt kovo.fon!"}, 1, "",
       kScattered.substr(1)},
      {"no memory for the images", "N", kScattered, {}, {}, 1,
       "Exception EOutOfMemory in module km at 00402A18.\r\nOut of memory.", kScattered,
       [] { return RunMemoryPtr(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    if (c.file) testing::WriteFileBytes(dir.File("kovo.fon"), *c.file);
    const DriverRun run = RunIn(dir, c.argument, c.fault, c.take_memory);
    MemoryScreen expected(80, 25);
    testing::DrawExpected(expected, c.lines);
    for (int row = 0; row < 25; ++row) {
      for (int column = 0; column < 80; ++column) {
        ASSERT_EQ(run.Screen->At(column, row), expected.At(column, row)) << column << "," << row;
      }
    }
    EXPECT_EQ(run.Screen->Cursor().Row, expected.Cursor().Row);
    EXPECT_EQ(run.Screen->Cursor().Column, 0);
    EXPECT_EQ(run.Screen->Bells(), expected.Bells());
    // Each phase's "Working" stays on screen through its pause.
    const auto& pauses = run.Screen->Pauses();
    const auto phase = [](const std::string& line) { return line.find("DONE") != std::string::npos; };
    ASSERT_EQ(pauses.size(), std::size_t(std::count_if(c.lines.begin(), c.lines.end(), phase)));
    for (std::size_t i = 0; i < pauses.size(); ++i) {
      EXPECT_EQ(pauses[i].Milliseconds, 150u);
      EXPECT_EQ(pauses[i].CursorRow.substr(0, 28), run.Screen->RowText(int(i) + 3).substr(0, 20) + " Working");
    }
    EXPECT_EQ(run.Outcome.ExitStatus, c.status);
    EXPECT_EQ(ReportOf(run.Outcome.Fatal), c.report);
    EXPECT_TRUE(run.File == c.file_after);
  }
}

enum class Expect { Done, CannotLocate, BadOrCorrupt, ReportUnchanged, ReportFinished };

// What a failure of the nth call of a kind in a run leads to and, for a
// report, the code location it names. A transfer that stops short with no error
// reports short_message.
struct CallPoint {
  FileCall call;
  int occurrence;
  Expect expect;
  const char* at;
  const char* short_message = "";
};
using E = Expect;
const CallPoint kCallPoints[] = {
    {FileCall::Open, 1, E::CannotLocate, "00405BE0"},  // for the run lock; the load reports
    {FileCall::Lock, 1, E::ReportUnchanged, "00405BE0"},  // the run lock
    {FileCall::OpenJournal, 1, E::ReportUnchanged, "00405BE0"},  // looking for a journal
    {FileCall::Open, 2, E::CannotLocate, "00405C31"},
    {FileCall::Lock, 2, E::BadOrCorrupt, "00405C31"},  // shared, for the read
    {FileCall::Read, 1, E::BadOrCorrupt, "00405C31"},
    {FileCall::Describe, 1, E::BadOrCorrupt, "00405C31"},
    {FileCall::Lock, 3, E::Done, "00405C31"},  // the unlock after the read
    {FileCall::Close, 1, E::ReportUnchanged, "00405C31"},
    {FileCall::Open, 3, E::ReportUnchanged, "00405C31"},
    {FileCall::Lock, 4, E::ReportUnchanged, "00405C31"},  // exclusive, for the store
    {FileCall::Describe, 2, E::ReportUnchanged, "00405C31"},
    {FileCall::Describe, 3, E::ReportUnchanged, "00405C31"},  // what the name means now
    {FileCall::Read, 2, E::ReportUnchanged, "00405C31", "I/O error 32"},
    {FileCall::Create, 1, E::ReportUnchanged, "00405C48"},
    {FileCall::Write, 1, E::ReportUnchanged, "00405C48", "Disk full"},
    {FileCall::Sync, 1, E::ReportUnchanged, "00405C48"},
    {FileCall::Close, 2, E::ReportUnchanged, "00405C48"},
    {FileCall::SyncFolder, 1, E::ReportUnchanged, "00405C48"},
    {FileCall::Write, 2, E::ReportUnchanged, "00405C5E", "Disk full"},  // the file itself
    {FileCall::Sync, 2, E::ReportUnchanged, "00405C79"},
    {FileCall::Remove, 1, E::ReportUnchanged, "00405C48"},  // the journal, at the end
    {FileCall::SyncFolder, 2, E::ReportUnchanged, "00405C48"},  // its removal, durable
    {FileCall::Close, 3, E::ReportFinished, "00405C94"},
    {FileCall::Close, 4, E::Done, "00405C94"},  // the run lock's
};

// The messages of the codes the sweep fails calls with.
const std::pair<int, const char*> kMessages[] = {
    {2, "File not found"}, {5, "File access denied"}, {112, "I/O error 112"}, {1117, "I/O error 1117"},
    {995, "I/O error 995"}};

// Every call with not found, access denied, disk full, device error and
// interrupted, and every transfer cut short after 0, 1 and 19,699 bytes:
// the run ends with its status and report, with no handle and no journal
// left, and the file as it was or finished. A call named above leads to its
// outcome; any other (a call added later) to one of those, and never to a mix.
TEST(FaultSweep, EveryFailingCallEndsCleanly) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("kovo.fon"), kScattered);
  const std::vector<FileCall> calls = RunIn(dir, "Y").Calls;  // a clean run's, in order
  for (const bool sort : {true, false}) {
    for (auto call = calls.begin(); call != calls.end(); ++call) {
      const int occurrence = static_cast<int>(std::count(calls.begin(), call + 1, *call));
      const auto matches = [&](const CallPoint& p) { return p.call == *call && p.occurrence == occurrence; };
      const CallPoint* point = std::find_if(std::begin(kCallPoints), std::end(kCallPoints), matches);
      const bool named = point != std::end(kCallPoints);
      const bool transfers = *call == FileCall::Read || *call == FileCall::Write;
      for (const int code : {2, 5, 112, 1117, 995, 0}) {
        for (const std::size_t transferred : {std::size_t{0}, std::size_t{1}, kImageSize - 1}) {
          if (!transfers && (code == 0 || transferred > 0)) continue;
          SCOPED_TRACE(std::string(sort ? "Y " : "N ") + testing::kFileCallNames[int(*call)] + "#" +
                       std::to_string(occurrence) + " code " + std::to_string(code) + " after " +
                       std::to_string(transferred));
          testing::WriteFileBytes(dir.File("kovo.fon"), kScattered);
          const DriverRun run = RunIn(dir, sort ? "Y" : "N", Fault{*call, occurrence, code, transferred, {}});
          // A folder that refuses the journal's removal leaves it spent.
          const bool spent = *call == FileCall::Remove && code == 5;
          EXPECT_EQ(run.OpenHandles, 0);
          EXPECT_EQ(run.Journal, spent);
          const std::string journal = testing::ReadFileBytes(dir.File("kovo.fon-journal"));
          EXPECT_TRUE(!spent || journal == std::string(sizeof(JournalRecord), '\0'));
          ::unlink(dir.File("kovo.fon-journal").c_str());
          const bool finished = run.File == Finished(sort);
          EXPECT_TRUE(finished || run.File == kScattered) << "the file as it was, or finished";
          const std::string row3 = run.Screen->RowText(3).substr(0, 24);
          const bool cannot_locate = row3 == "\xFE Can't locate .fon file";
          const bool bad = row3 == "bad or corrupt kovo.fon!";
          EXPECT_EQ(run.Outcome.ExitStatus, run.Outcome.Fatal || bad ? 1 : 0);
          EXPECT_FALSE(finished && (cannot_locate || bad));
          const bool packing_shown = run.Screen->RowText(sort ? 5 : 4).substr(0, 10) != std::string(10, ' ');
          EXPECT_FALSE(run.Outcome.Fatal && packing_shown) << "no packing line after a failed store";
          if (!named) continue;
          // No journal to find is normal; so is a folder that takes no journal.
          Expect expect = point->expect;
          if ((*call == FileCall::OpenJournal && code == kFileNotFound) ||
              (*call == FileCall::Create && code == 5) || spent)
            expect = Expect::Done;
          EXPECT_EQ(finished, expect == Expect::Done || expect == Expect::ReportFinished);
          EXPECT_EQ(cannot_locate, expect == Expect::CannotLocate);
          EXPECT_EQ(bad, expect == Expect::BadOrCorrupt);
          const bool reported = expect == Expect::ReportUnchanged || expect == Expect::ReportFinished;
          ASSERT_EQ(run.Outcome.Fatal.has_value(), reported);
          if (!reported) continue;
          const auto coded = std::find_if(std::begin(kMessages), std::end(kMessages),
                                          [&](const auto& m) { return m.first == code; });
          const std::string message = code != 0 ? coded->second : point->short_message;
          EXPECT_EQ(ReportOf(run.Outcome.Fatal),
                    std::string("Exception EInOutError in module km at ") + point->at + ".\r\n" + message + ".");
        }
      }
    }
  }
}

// A torn file with the complete journal of the store that tore it, as a
// kill in the middle of the write leaves them; each call of the roll-back
// made to fail in turn stops the run at the roll-back's step, keeps the
// journal (unless the failure comes after its removal), and the next run
// rolls back and finishes.
TEST(FaultSweep, EveryFailingCallOfARollBackKeepsTheJournalForTheNextRun) {
  testing::TempDir dir;
  const std::string path = dir.File("kovo.fon");
  const std::pair<FileCall, int> calls[] = {
      {FileCall::Lock, 1},   {FileCall::OpenJournal, 1}, {FileCall::Open, 2},       {FileCall::Lock, 2},
      {FileCall::OpenJournal, 2}, {FileCall::Read, 1}, {FileCall::Read, 2},         {FileCall::Describe, 1},
      {FileCall::Read, 3},   {FileCall::Write, 1},       {FileCall::Sync, 1},       {FileCall::Remove, 1},
      {FileCall::SyncFolder, 1}, {FileCall::Close, 4}};
  for (const auto& [call, occurrence] : calls) {
    SCOPED_TRACE(std::string(testing::kFileCallNames[int(call)]) + "#" + std::to_string(occurrence));
    testing::WriteFileBytes(path, kScattered);
    testing::WriteJournal(path, kScattered, Finished(true));
    testing::WriteFileBytes(path, Finished(true).substr(0, 5000) + kScattered.substr(5000));

    const DriverRun failed = RunIn(dir, "Y", Fault{call, occurrence, 1117, 0, {}});
    EXPECT_EQ(ReportOf(failed.Outcome.Fatal), "Exception EInOutError in module km at 00405BE0.\r\nI/O error 1117.");
    EXPECT_EQ(failed.OpenHandles, 0);
    EXPECT_EQ(failed.Journal, call != FileCall::SyncFolder && call != FileCall::Close);  // after the removal
    const DriverRun next = RunIn(dir, "Y");
    EXPECT_EQ(next.Outcome.ExitStatus, 0);
    EXPECT_TRUE(next.File == Finished(true));
    EXPECT_FALSE(next.Journal);
  }
}

}  // namespace
}  // namespace kovo
