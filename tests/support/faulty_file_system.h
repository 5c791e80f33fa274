// The file seam of a test: every call is recorded and forwarded to the real
// seam, but for the one call a fault names (the nth call of a kind), which
// reports the fault's code, optionally after really transferring some bytes,
// or runs the fault's action in between: what another program does at that
// moment. And a run's load and store over such a seam.
#pragma once

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "directory/directory_file.h"
#include "directory/maintenance_passes.h"
#include "directory/platform_file_system.h"
#include "support/directory_builder.h"

namespace kovo::testing {

enum class FileCall { Open, Read, Write, Sync, Close, Describe, Lock, Create, SyncFolder, Remove, OpenJournal, Wait };
inline const char* const kFileCallNames[] = {"open", "read",   "write",       "sync",   "close",        "describe",
                                             "lock", "create", "sync-folder", "remove", "open-journal", "wait"};

struct Fault {
  FileCall Call = FileCall::Open;
  int Occurrence = 1;          // 1 = the first call of that kind
  int Code = 0;                // 0 with a short Count: a transfer that stops short
  std::size_t Count = 0;       // bytes really transferred before the fault
  std::function<void()> Then;  // runs at the fault, after the transfer
};

class FaultyFileSystem final : public FileSystem {
 public:
  explicit FaultyFileSystem(std::optional<Fault> fault = std::nullopt) : fault_(std::move(fault)) {}

  Status OpenExisting(const char* name, Access access, FileHandle& opened) override {
    return Counted(Strikes(FileCall::Open) ? Failed() : real_.OpenExisting(name, access, opened));
  }
  Status OpenJournal(const char* name, Access access, FileHandle file, FileHandle& opened) override {
    return Counted(Strikes(FileCall::OpenJournal) ? Failed() : real_.OpenJournal(name, access, file, opened));
  }
  Status ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size, std::size_t& done) override {
    const bool strikes = Strikes(FileCall::Read);
    const Status read = real_.ReadAt(file, offset, buffer, strikes ? std::min(size, fault_->Count) : size, done);
    return strikes ? Failed() : read;
  }
  Status WriteAt(FileHandle file, std::uint64_t offset, const void* data, std::size_t size,
                 std::size_t& done) override {
    const bool strikes = Strikes(FileCall::Write);
    const Status written = real_.WriteAt(file, offset, data, strikes ? std::min(size, fault_->Count) : size, done);
    return strikes ? Failed() : written;
  }
  Status Sync(FileHandle file) override { return Strikes(FileCall::Sync) ? Failed() : real_.Sync(file); }
  Status Close(FileHandle file) override {
    --open_handles_;
    const Status closed = real_.Close(file);
    return Strikes(FileCall::Close) ? Failed() : closed;
  }
  Status Describe(FileHandle file, FileDescription& description) override {
    return Strikes(FileCall::Describe) ? Failed() : real_.Describe(file, description);
  }
  Status DescribeName(const char* name, FileDescription& description) override {
    return Strikes(FileCall::Describe) ? Failed() : real_.DescribeName(name, description);
  }
  Status Lock(FileHandle file, LockMode mode) override {
    return Strikes(FileCall::Lock) ? Failed() : real_.Lock(file, mode);
  }
  void WaitAWhile() override { Strikes(FileCall::Wait) ? (void)Failed() : real_.WaitAWhile(); }
  Status CreateJournal(const char* name, FileHandle like, FileHandle& created) override {
    return Counted(Strikes(FileCall::Create) ? Failed() : real_.CreateJournal(name, like, created));
  }
  Status SyncFolder(const char* name, FileHandle beside) override {
    return Strikes(FileCall::SyncFolder) ? Failed() : real_.SyncFolder(name, beside);
  }
  Status Remove(const char* name) override { return Strikes(FileCall::Remove) ? Failed() : real_.Remove(name); }
  Status MatchNames(const char* name, NameMatches& matches) override { return real_.MatchNames(name, matches); }
  bool MayRemove(const char* name) override { return real_.MayRemove(name); }
  bool MayCreateBeside(const char* name) override { return real_.MayCreateBeside(name); }

  // Every call in order.
  const std::vector<FileCall>& Calls() const { return calls_; }
  int OpenHandles() const { return open_handles_; }

 private:
  bool Strikes(FileCall call) {
    const auto kind = static_cast<std::size_t>(call);
    calls_.push_back(call);
    return fault_ && fault_->Call == call && ++seen_[kind] == fault_->Occurrence;
  }
  // The fault's code over what really happened, after its own action.
  Status Failed() {
    if (fault_->Then) fault_->Then();
    return Status{fault_->Code};
  }
  Status Counted(Status status) {
    open_handles_ += status.ok() ? 1 : 0;
    return status;
  }

  PlatformFileSystem real_{50};  // a held lock is given up on quickly
  std::optional<Fault> fault_;
  int seen_[12] = {};
  int open_handles_ = 0;
  std::vector<FileCall> calls_;
};

struct Maintenance {
  Status Loaded;
  Status Stored;
};

// Load, pack, sort and store as one run does; between is what another
// program does after the load.
inline Maintenance Maintain(FileSystem& files, const std::string& path,
                            const std::function<void()>& between = {}) {
  Maintenance run;
  DirectoryImage load{};
  DirectoryImage work{};
  DirectoryFile file(files, path);
  run.Loaded = file.LoadDirectory(load);
  if (!run.Loaded.ok()) return run;
  SortEntries(work, PackEntries(load, work));
  if (between) between();
  run.Stored = file.StoreDirectory(work, load, *std::make_unique<StoreScratch>());
  return run;
}

// Leaves beside the file at path the complete journal of a store of after
// over before, the file being as it stands: as a store cut off on another
// machine leaves it (which saw the file under another device and index), or
// as anyone who may read the file could forge it.
inline void WriteJournal(const std::string& path, std::string_view before, std::string_view after) {
  PlatformFileSystem files;
  FileHandle opened = kNoFile;
  ASSERT_TRUE(files.OpenExisting(path.c_str(), Access::ReadOnly, opened).ok());
  FileDescription described;
  ASSERT_TRUE(files.Describe(opened, described).ok());
  const auto record = std::make_unique<JournalRecord>();
  const FileIdentity elsewhere{described.Identity.Device + 1, described.Identity.Index + 1};
  FillJournal(*record, elsewhere, described.Length, ImageFromBytes(before), ImageFromBytes(after));
  bool written = false;
  EXPECT_TRUE(BeginJournal(files, JournalName(path), *record, opened, written).ok());
  (void)files.Close(opened);
}

}  // namespace kovo::testing
