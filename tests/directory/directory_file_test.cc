// The load and the store on real files: what they leave, what they refuse,
// and what other programs, locks, signals and kills do to them.
#include "directory/directory_file.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <tuple>
#include <unistd.h>

#include "directory/store_journal.h"
#include "support/directory_builder.h"
#include "support/faulty_file_system.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

using testing::Fault;
using testing::FileCall;
using testing::FileExists;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

const std::string& kBefore = testing::kScattered;
using testing::Finished;
using testing::Maintain;
using testing::Maintenance;

class DirectoryFileTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.File("kovo.fon"); }
  std::string Journal() const { return JournalName(Path()).Text; }
  void Write(const std::string& bytes) const { WriteFileBytes(Path(), bytes); }
  std::string Contents() const { return ReadFileBytes(Path()); }

  // The user nobody, as whom root may act; nullptr for anybody else.
  static const passwd* Nobody() { return ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr; }

  testing::TempDir dir_;
  PlatformFileSystem files_{50};
  pid_t holder_ = 0;  // another program holding a lock on the file
};

void ChangeInPlace(const std::string& path, off_t offset, char byte) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_EQ(::pwrite(fd, &byte, 1, offset), 1);
  ::close(fd);
}

// The file as it stands before the run, and as another program leaves it
// after the load: the store leaves the finished image over the first 19,700
// bytes (through a link, before a longer file's tail), or the load or the
// store refuses with its code and nothing is written anywhere. Another
// program's lock is waited for, then refused; another store's journal
// beside the file at the store is left as it is.
TEST_F(DirectoryFileTest, StoresTheFinishedImageOrRefusesAndWritesNothing) {
  struct Case {
    const char* name;
    std::function<void()> before, between;
    Step load;  // where the load refuses; None: the store refuses when code is set
    int code;
    std::optional<std::string> after;  // what the name holds; nothing: not a file
    std::optional<Fault> at = {};  // a change at this call of the store
    Step refused_at = Step::Reopen;  // the step of the store's refusal
  };
  std::string free_slots(kImageSize, '\0');
  free_slots[0] = 3;  // a first field without a second, and leftovers
  free_slots[5] = 'x';
  std::string edited = kBefore;
  edited[50 * kEntrySize + 1] = 'Q';
  const std::string target = dir_.File("real.fon");
  const std::string aside = dir_.File("kovo.old");
  std::string journal;  // what another store leaves beside the file
  const auto another_store = [&] {
    testing::WriteJournal(Path(), kBefore, Finished(false));
    journal = ReadFileBytes(Journal());
  };
  const auto copy_over = [&] {
    WriteFileBytes(aside, kBefore);
    ::rename(aside.c_str(), Path().c_str());
  };
  const auto write = [&](std::string bytes) { return [this, bytes] { Write(bytes); }; };
  const auto hold = [&](int (*take)(int fd)) {
    return [this, take] {
      Write(kBefore);
      holder_ = testing::HoldLock(Path(), take);
    };
  };
  const Case cases[] = {
      {"scattered entries", write(kBefore), {}, Step::None, 0, Finished()},
      {"all free", write(free_slots), {}, Step::None, 0, std::string(kImageSize, '\0')},
      {"a longer file", write(kBefore + "TAIL\xFF"), {}, Step::None, 0, Finished() + "TAIL\xFF"},
      {"a symbolic link", [&] {
         WriteFileBytes(target, kBefore);
         ::symlink(target.c_str(), Path().c_str());
       },
       {}, Step::None, 0, Finished()},
      {"missing", [] {}, {}, Step::Open, 2, {}},
      {"one byte short", write(kBefore.substr(1)), {}, Step::Read, kShortRead, kBefore.substr(1)},
      {"a FIFO, which an ordinary open waits on", [&] { ::mkfifo(Path().c_str(), 0644); }, {},
       Step::Open, 5, {}},
      {"a link to a device", [&] { ::symlink("/dev/null", Path().c_str()); }, {}, Step::Open, 5, {}},
      {"slot 51 changed in place", write(kBefore), [&] { ChangeInPlace(Path(), 50 * kEntrySize + 1, 'Q'); },
       Step::None, kSharingViolation, edited},
      {"truncated", write(kBefore), [&] { ::truncate(Path().c_str(), 100); }, Step::None,
       kSharingViolation, kBefore.substr(0, 100)},
      {"grown", write(kBefore), [&] { ::truncate(Path().c_str(), kImageSize + 1); }, Step::None,
       kSharingViolation, kBefore + '\0'},
      {"deleted", write(kBefore), [&] { ::unlink(Path().c_str()); }, Step::None, kFileNotFound, ""},
      {"an identical copy renamed over it", write(kBefore), copy_over, Step::None, kSharingViolation,
       kBefore},
      {"an identical copy renamed over it once reopened", write(kBefore), {}, Step::None,
       kSharingViolation, kBefore, Fault{FileCall::Lock, 3, 0, 0, copy_over}},
      {"flock exclusive held", hold([](int fd) { return ::flock(fd, LOCK_EX); }), {}, Step::Read,
       kLockViolation, kBefore},
      {"lockf held", hold([](int fd) { return ::lockf(fd, F_LOCK, 0); }), {}, Step::Read,
       kLockViolation, kBefore},
      {"flock shared held", hold([](int fd) { return ::flock(fd, LOCK_SH); }), {}, Step::None,
       kLockViolation, kBefore},
      {"another store's journal beside it", write(kBefore), another_store, Step::None,
       kSharingViolation, kBefore, {}, Step::Journal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& name : {Path(), target, aside, Journal()}) std::filesystem::remove_all(name);
    journal.clear();
    c.before();
    const std::string where = std::filesystem::is_symlink(Path()) ? target : Path();
    testing::FaultyFileSystem files(c.at);
    const Maintenance run = Maintain(files, Path(), c.between);
    EXPECT_EQ(run.Loaded.Failed, c.load);
    EXPECT_EQ(c.load == Step::None ? run.Stored.Code : run.Loaded.Code, c.code);
    EXPECT_EQ(run.Stored.Failed, c.load == Step::None && c.code != 0 ? c.refused_at : Step::None);
    EXPECT_EQ(files.OpenHandles(), 0);
    const auto writes = std::count(files.Calls().begin(), files.Calls().end(), FileCall::Write);
    EXPECT_TRUE(c.code == 0 || writes == 0) << "a refusal writes nothing, anywhere";
    EXPECT_TRUE(!c.after || ReadFileBytes(where) == *c.after);
    EXPECT_TRUE(!FileExists(aside) || ReadFileBytes(aside) == kBefore);
    EXPECT_TRUE(ReadFileBytes(Journal()) == journal);
    if (holder_ != 0) testing::Release(std::exchange(holder_, 0));
  }
}

// A write that finds no room at all fails with "Disk full"'s code; one that
// ran out part-way stops short, for its caller to report.
TEST(PlatformFileSystem, AWriteToAFullDiskIsCode112) {
  const int full = ::open("/dev/full", O_WRONLY);
  PlatformFileSystem files;
  std::size_t written = 0;
  EXPECT_EQ(files.WriteAt(full, 0, "x", 1, written).Code, 112);
  ::close(full);
}

// The start of the next run, its roll-back and its load: the code of the
// first that fails.
int StartRun(FileSystem& files, const std::string& path) {
  DirectoryFile file(files, path);
  const Status begun = file.BeginRun(*std::make_unique<StoreScratch>());
  if (!begun.ok()) return begun.Code;
  return file.LoadDirectory(*std::make_unique<DirectoryImage>()).Code;
}

// Runs what in a child, as the user nobody when asked (and root); the
// child's wait status: 0 when what is true.
int InChild(bool as_nobody, const std::function<bool()>& what) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (as_nobody && ::geteuid() == 0 && !testing::BecomeNobody()) ::_exit(3);
    ::_exit(what() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

// Where the kernel has only the process's own record locks, which any close
// of the file drops, the run lock outlasts the close of the load's handle:
// no other run starts meanwhile.
TEST_F(DirectoryFileTest, TheRunLockOutlastsTheLoadsCloseOnAKernelBefore315) {
  Write(kBefore);
  const auto run_byte_free = [&] {
    return InChild(false, [&] {
      struct flock run_byte {};
      run_byte.l_type = F_WRLCK;
      run_byte.l_start = static_cast<off_t>(kRunLockOffset);
      run_byte.l_len = 1;
      return ::fcntl(::open(Path().c_str(), O_RDWR), F_SETLK, &run_byte) == 0;
    }) == 0;
  };
  EXPECT_EQ(InChild(false, [&] {
    bool freed = false;
    testing::FaultyFileSystem files(Fault{FileCall::Close, 1, 0, 0, [&] { freed = run_byte_free(); }});
    DirectoryFile file(files, Path());
    const auto scratch = std::make_unique<StoreScratch>();
    const auto image = std::make_unique<DirectoryImage>();
    return testing::RefuseOpenFileDescriptionLocks() && file.BeginRun(*scratch).ok() &&
           file.LoadDirectory(*image).ok() && file.StoreDirectory(*image, *image, *scratch).ok() && !freed;
  }), 0);
}

// A journal that cannot be made for a fault of the disk stops the store,
// unlike one in a folder that takes no new file: the file stays as it was.
TEST_F(DirectoryFileTest, AnIOErrorMakingTheJournalStopsTheStore) {
  Write(kBefore);
  EXPECT_EQ(InChild(false, [&] {
    const int exclusive = O_CREAT | O_EXCL;
    return testing::FailCalls(testing::kNativeArch, SYS_openat, 2, exclusive, exclusive, exclusive, EIO) &&
           Maintain(files_, Path()).Stored.Code == 1117;
  }), 0);
  EXPECT_TRUE(Contents() == kBefore);
}

// Another machine's store whose locks do not reach this one, found by the
// start of a run before or after its write: the run waits until the journal
// and the file hold still, and the store, which ends meanwhile, is neither
// rolled back nor robbed of its journal.
TEST_F(DirectoryFileTest, ARunLeavesAnotherStoreInProgressToFinish) {
  for (const bool written : {false, true}) {
    SCOPED_TRACE(written ? "after its write" : "before its write");
    Write(kBefore);
    testing::WriteJournal(Path(), kBefore, Finished(false));
    if (written) Write(Finished(false));
    const auto finish = [&] {
      Write(Finished(false));
      ::unlink(Journal().c_str());
    };
    testing::FaultyFileSystem files(Fault{FileCall::Wait, 1, 0, 0, finish});
    EXPECT_EQ(StartRun(files, Path()), 0);
    EXPECT_TRUE(Contents() == Finished(false));
    EXPECT_FALSE(FileExists(Journal()));
  }
}

// What other users of a sticky folder plant at the file's name and the
// journal's: a run applies no journal and follows no link that a user who
// may not write the file could have made, hangs on nothing, and stops with
// the rule's code; a journal it may not remove is spent and does no harm.
// Another program's lock is waited for briefly, whatever range it covers.
TEST_F(DirectoryFileTest, NothingANeighbourPlantsChangesTheFile) {
  const passwd* nobody = Nobody();
  if (nobody == nullptr) GTEST_SKIP() << "needs root, to give files to the user nobody and to run as nobody";
  const std::string forged(kImageSize, 'F');
  const std::string elsewhere = dir_.File("root.fon");
  const auto as_nobody = [&](const std::string& name) { ::lchown(name.c_str(), nobody->pw_uid, nobody->pw_gid); };
  struct Case {
    const char* name;
    std::function<void()> plant;
    int code;  // of the start of the run
    std::string after;  // what the file, or what a link there leads to, holds then
    bool by_nobody = false;  // nobody owns the file and runs
  };
  const Case cases[] = {
      {"a forged journal", [&] {
         testing::WriteJournal(Path(), forged, kBefore);
         as_nobody(Journal());
       }, kUntrustedOwner, kBefore},
      {"a FIFO", [&] { ::mkfifo(Journal().c_str(), 0666); }, kNotARegularFile, kBefore},
      {"a second link to a journal", [&] {
         testing::WriteJournal(Path(), forged, kBefore);
         ::link(Journal().c_str(), elsewhere.c_str());
       }, kMoreThanOneLink, kBefore},
      {"another user's link to root's file", [&] {
         ::rename(Path().c_str(), elsewhere.c_str());
         ::symlink(elsewhere.c_str(), Path().c_str());
         as_nobody(Path());
       }, kUntrustedOwner, kBefore},
      {"that user's link to their own file", [&] {
         ::rename(Path().c_str(), elsewhere.c_str());
         ::symlink(elsewhere.c_str(), Path().c_str());
         as_nobody(Path());
         as_nobody(elsewhere);
       }, 0, kBefore},
      {"a spent journal of root's that nobody may not remove", [&] {
         as_nobody(Path());
         ::chmod(Path().c_str(), 0666);
         WriteFileBytes(Journal(), std::string(sizeof(JournalRecord), '\0'));
         ::chmod(Journal().c_str(), 0666);
       }, 0, kBefore, true},
      {"another program's lock over the whole file", [&] {
         holder_ = testing::HoldLock(Path(), [](int fd) { return ::lockf(fd, F_LOCK, 0); });
       }, kLockViolation, kBefore},
  };
  ::chmod(dir_.Path().c_str(), 01777);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& name : {Path(), Journal(), elsewhere}) ::unlink(name.c_str());
    Write(kBefore);
    c.plant();
    const std::string where = std::filesystem::is_symlink(Path()) ? elsewhere : Path();
    const auto start = std::chrono::steady_clock::now();
    if (c.by_nobody) {
      EXPECT_EQ(InChild(true, [&] { return StartRun(files_, Path()) == c.code; }), 0);
    } else {
      EXPECT_EQ(StartRun(files_, Path()), c.code);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << "no 30-second queue wait";
    EXPECT_TRUE(ReadFileBytes(where) == c.after);
    if (c.by_nobody) {
      EXPECT_EQ(InChild(true, [&] { return Maintain(files_, Path()).Stored.ok() && Contents() == Finished(); }), 0);
      EXPECT_TRUE(ReadFileBytes(Journal()) == std::string(sizeof(JournalRecord), '\0')) << "taken over, spent";
    }
    if (holder_ != 0) testing::Release(std::exchange(holder_, 0));
  }
}

// The journal a store killed in its write leaves takes the file's owner
// (when root runs), its group where the runner may give it, its permission
// bits and its access list, and is never readable by anyone the file is not;
// the file's owner rolls it back.
TEST_F(DirectoryFileTest, TheJournalIsNoWiderThanTheFile) {
  const passwd* nobody = Nobody();
  if (nobody == nullptr) GTEST_SKIP() << "needs root, to give files to the user nobody and to run as nobody";
  const char* const kAccessList = "system.posix_acl_access";
  // An access list as Linux stores it: user::rw-, user:1234:---, group::r--, mask::r--, other::r--.
  const std::string denying("\2\0\0\0\1\0\6\0\377\377\377\377\2\0\0\0\322\4\0\0\4\0\4\0\377\377\377\377"
                            "\20\0\4\0\377\377\377\377\40\0\4\0\377\377\377\377",
                            44);
  struct Case {
    const char* name;
    mode_t file_mode;
    gid_t file_group;
    bool access_list;
    bool by_nobody;
    mode_t journal_mode;
  };
  const Case cases[] = {
      {"root runs, an access list", 0644, nobody->pw_gid, true, false, 0644},
      {"root runs, the file's bits", 0664, nobody->pw_gid, false, false, 0664},
      {"a group the runner may not give", 0606, 0, false, true, 0600},
      {"and an access list", 0644, 0, true, true, 0600},
  };
  ::chmod(dir_.Path().c_str(), 0777);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& name : {Path(), Journal()}) ::unlink(name.c_str());
    Write(kBefore);
    ::chown(Path().c_str(), nobody->pw_uid, c.file_group);
    ::chmod(Path().c_str(), c.file_mode);
    if (c.access_list && ::setxattr(Path().c_str(), kAccessList, denying.data(), denying.size(), 0) != 0)
      GTEST_SKIP() << "the temporary folder's file system keeps no access lists";
    InChild(c.by_nobody, [&] {
      testing::FaultyFileSystem files(Fault{FileCall::Write, 2, 0, 5000, [] { ::raise(SIGKILL); }});
      return Maintain(files, Path()).Stored.ok();
    });
    struct stat journal {};
    ASSERT_EQ(::stat(Journal().c_str(), &journal), 0);
    EXPECT_EQ(journal.st_uid, nobody->pw_uid);
    EXPECT_EQ(journal.st_gid, nobody->pw_gid);
    EXPECT_EQ(journal.st_mode & 0777, c.journal_mode);
    char list[64] = {};
    const ssize_t size = ::getxattr(Journal().c_str(), kAccessList, list, sizeof list);
    const std::string copied = c.access_list && !c.by_nobody ? denying : "";
    EXPECT_EQ(std::string(list, std::size_t(std::max<ssize_t>(size, 0))), copied);
    EXPECT_EQ(InChild(true, [&] { return StartRun(files_, Path()) == 0 && Contents() == kBefore; }), 0)
        << "the file's owner rolls it back";
  }
}

// A signal inside the store waits for its end. A kill at any call from the
// journal's creation to its removal, then the folder copied (the same bytes,
// another identity), leaves the next run the old image or the new, never a
// mix, and no journal; a kill is undone unless the file has changed since.
TEST_F(DirectoryFileTest, SignalsWaitForTheStoreAndKillsAreRolledBack) {
  struct Case {
    const char* name;
    int signal;
    Fault fault;
    std::function<void()> then;
    int recovery_code;
    std::optional<std::string> left;  // what the next run's start leaves; nothing: the file as it was
  };
  const auto raise = [](int signal) { return [signal] { ::raise(signal); }; };
  const Fault in_file_write{FileCall::Write, 2, 0, 5000, raise(SIGKILL)};
  const auto copied = [&] {
    WriteFileBytes(dir_.File("copy"), Contents());
    ::rename(dir_.File("copy").c_str(), Path().c_str());
  };
  std::vector<Case> cases = {
      {"SIGUSR1 in the write of the file", SIGUSR1,
       Fault{FileCall::Write, 2, 0, kImageSize, raise(SIGUSR1)}, [] {}, 0, Finished()},
      {"killed, then the file edited", SIGKILL, in_file_write,
       [&] { ChangeInPlace(Path(), 9000, '\x7F'); }, kSharingViolation, std::nullopt},
      {"killed, then the file grown", SIGKILL, in_file_write,
       [&] { ::truncate(Path().c_str(), kImageSize + 1); }, kSharingViolation, std::nullopt},
      // Whole in length but not in content: never applied, and removed only
      // where the file still holds the bytes from before.
      {"killed, then the journal garbled", SIGKILL, in_file_write,
       [&] { ChangeInPlace(Journal(), 32 + kImageSize + 1, 'Z'); }, kFileCorrupt, std::nullopt},
      {"killed before the write, then the journal garbled", SIGKILL,
       Fault{FileCall::Write, 2, 0, 0, raise(SIGKILL)},
       [&] { ChangeInPlace(Journal(), 32 + kImageSize + 1, 'Z'); }, 0, kBefore},
  };
  const std::tuple<const char*, FileCall, int, std::size_t> kills[] = {
      {"killed at the journal's creation", FileCall::Create, 1, 0},
      {"killed in the journal's write", FileCall::Write, 1, 5000},
      {"killed at the journal's sync", FileCall::Sync, 1, 0},
      {"killed at the journal's close", FileCall::Close, 2, 0},
      {"killed at the folder's sync", FileCall::SyncFolder, 1, 0},
      {"killed in the write of the file", FileCall::Write, 2, 5000},
      {"killed at the file's sync", FileCall::Sync, 2, 0},
      {"killed before the journal went", FileCall::Remove, 1, 0},
      {"killed before its removal was synced", FileCall::SyncFolder, 2, 0},
  };
  for (const auto& [name, call, occurrence, count] : kills) {
    const std::string left = call == FileCall::SyncFolder && occurrence == 2 ? Finished() : kBefore;
    cases.push_back({name, SIGKILL, Fault{call, occurrence, 0, count, raise(SIGKILL)}, copied, 0, left});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::unlink(Journal().c_str());
    Write(kBefore);
    const int status = InChild(false, [&] {
      testing::FaultyFileSystem files(c.fault);
      return Maintain(files, Path()).Stored.ok();
    });
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
    struct stat file {};
    struct stat journal {};
    ::stat(Path().c_str(), &file);
    EXPECT_TRUE(::stat(Journal().c_str(), &journal) != 0 || journal.st_mode == file.st_mode) << "the file's bits";
    c.then();
    const std::string left = Contents();
    EXPECT_EQ(StartRun(files_, Path()), c.recovery_code);
    EXPECT_EQ(FileExists(Journal()), c.recovery_code != 0);
    EXPECT_TRUE(Contents() == c.left.value_or(left));
    if (!c.left) continue;
    EXPECT_TRUE(Maintain(files_, Path()).Stored.ok());
    EXPECT_TRUE(Contents() == Finished());
  }
}

}  // namespace
}  // namespace kovo
