#include "directory/directory_file.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "directory/maintenance_passes.h"
#include "directory/posix_file_system.h"
#include "directory/store_journal.h"
#include "support/directory_builder.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

using testing::Fault;
using testing::FaultyFileSystem;
using testing::FileCall;
using testing::ImageBytes;
using testing::ReadFileBytes;
using testing::ScatteredImage;
using testing::TempDir;
using testing::WriteFileBytes;

// Load, pack, sort, store on the file at path, as one run does.
struct Maintenance {
  LoadResult Loaded;
  StoreResult Stored;
  DirectoryImage Work{};
};

Maintenance Maintain(FileSystem& files, const std::string& path, bool sort = true) {
  Maintenance run;
  DirectoryImage load{};
  DirectoryFile file(files, path);
  run.Loaded = LoadDirectory(file, load);
  if (!run.Loaded.ok()) return run;
  const int kept = PackEntries(load, run.Work);
  if (sort) SortEntries(run.Work, kept);
  run.Stored = StoreDirectory(file, run.Work, load, *std::make_unique<StoreScratch>());
  return run;
}

class DirectoryFileTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.File("kovo.fon"); }
  void Write(const std::string& bytes) const { WriteFileBytes(Path(), bytes); }
  std::string Contents() const { return ReadFileBytes(Path()); }

  TempDir dir_;
  PosixFileSystem files_;
};

std::string FinishedBytes() {
  DirectoryImage work{};
  SortEntries(work, PackEntries(ScatteredImage(), work));
  return ImageBytes(work);
}

// What a healthy store leaves: the finished image over the first 19,700
// bytes, through a symbolic link too, and a longer file's tail untouched.
TEST_F(DirectoryFileTest, StoreLeavesTheFinishedImageAndTheTail) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string tail;
    bool through_link;
    std::string finished;
  };
  std::string junk(kImageSize, '\0');
  junk[5] = 'x';  // leftovers in free slots
  junk[0] = 3;    // a first field without a second
  const Case cases[] = {
      {"scattered entries", ImageBytes(ScatteredImage()), "", false, FinishedBytes()},
      {"all free", junk, "", false, std::string(kImageSize, '\0')},
      {"a longer file", ImageBytes(ScatteredImage()), "TAIL\x01\xFF", false, FinishedBytes()},
      {"a symbolic link", ImageBytes(ScatteredImage()), "", true, FinishedBytes()},
  };
  const std::string target = dir_.File("real.fon");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& name : {Path(), target}) ::unlink(name.c_str());
    WriteFileBytes(c.through_link ? target : Path(), c.bytes + c.tail);
    ASSERT_TRUE(!c.through_link || ::symlink(target.c_str(), Path().c_str()) == 0);
    const Maintenance run = Maintain(files_, Path());
    ASSERT_TRUE(run.Stored.ok()) << run.Stored.Code;
    EXPECT_TRUE(ReadFileBytes(c.through_link ? target : Path()) == c.finished + c.tail);
  }
}

// A file the load refuses is left as it was, and nothing is written.
TEST_F(DirectoryFileTest, RefusedFilesAreLeftAsTheyWere) {
  struct Case {
    const char* name;
    std::function<void()> make;
    LoadStep failed;
    int code;
  };
  const std::string bytes = ImageBytes(ScatteredImage());
  const Case cases[] = {
      {"missing", [] {}, LoadStep::Open, 2},
      {"one byte short", [&] { Write(bytes.substr(0, kImageSize - 1)); }, LoadStep::Read, kShortRead},
      {"empty", [&] { Write(""); }, LoadStep::Read, kShortRead},
      {"a folder", [&] { ::mkdir(Path().c_str(), 0755); }, LoadStep::Open, 5},
      // A FIFO with no writer would block an ordinary open forever.
      {"a FIFO", [&] { ::mkfifo(Path().c_str(), 0644); }, LoadStep::Open, 5},
      {"a link to a device", [&] { ::symlink("/dev/null", Path().c_str()); }, LoadStep::Open, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.make();
    const std::string before = c.failed == LoadStep::Read ? Contents() : "";
    FaultyFileSystem files;
    const Maintenance run = Maintain(files, Path());
    EXPECT_EQ(run.Loaded.Failed, c.failed);
    EXPECT_EQ(run.Loaded.Code, c.code);
    EXPECT_EQ(files.OpenHandles(), 0);
    for (const std::string& call : files.Calls()) EXPECT_NE(call, "write");
    EXPECT_TRUE(c.failed != LoadStep::Read || Contents() == before);
    ::unlink(Path().c_str());
    ::rmdir(Path().c_str());
  }
}

// Root opens a read-only file for writing all the same, so as root the load
// runs in a child that has become nobody.
TEST_F(DirectoryFileTest, ReadOnlyFileCannotBeOpened) {
  Write(ImageBytes(ScatteredImage()));
  ASSERT_EQ(::chmod(Path().c_str(), 0444), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      if (nobody == nullptr || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
        ::_exit(3);
    }
    PosixFileSystem files;
    const Maintenance run = Maintain(files, Path());
    ::_exit(run.Loaded.Failed == LoadStep::Open && run.Loaded.Code == 5 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the file was opened or failed otherwise; 3: no nobody";
  EXPECT_TRUE(Contents() == ImageBytes(ScatteredImage()));
}

// What another program may do to the file between the load and the store.
void ChangeInPlace(const std::string& path, std::size_t offset, char byte) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, &byte, 1, static_cast<off_t>(offset)), 1);
  ::close(fd);
}

TEST_F(DirectoryFileTest, StoreWritesNothingWhenTheFileChangedSinceTheLoad) {
  const std::string before = ImageBytes(ScatteredImage());
  std::string edited = before;
  edited[50 * kEntrySize + 1] = 'Q';
  struct Case {
    const char* name;
    std::function<void()> intervene;
    int code;
    std::function<void()> check;
  };
  const std::string notes = dir_.File("notes.txt");
  const std::string aside = dir_.File("kovo.old");
  const Case cases[] = {
      {"moved aside, a symlink to notes in its place",
       [&] {
         ASSERT_EQ(::rename(Path().c_str(), aside.c_str()), 0);
         WriteFileBytes(notes, "my notes");
         ASSERT_EQ(::symlink(notes.c_str(), Path().c_str()), 0);
       },
       kSharingViolation,
       [&] {
         EXPECT_EQ(ReadFileBytes(notes), "my notes");
         EXPECT_EQ(ReadFileBytes(aside), before);
       }},
      {"an edited copy renamed over it",
       [&] {
         WriteFileBytes(aside, edited);
         ASSERT_EQ(::rename(aside.c_str(), Path().c_str()), 0);
       },
       kSharingViolation, [&] { EXPECT_EQ(Contents(), edited); }},
      {"slot 51 changed in place", [&] { ChangeInPlace(Path(), 50 * kEntrySize + 1, 'Q'); },
       kSharingViolation, [&] { EXPECT_EQ(Contents(), edited); }},
      {"truncated to 100 bytes", [&] { ASSERT_EQ(::truncate(Path().c_str(), 100), 0); },
       kSharingViolation, [&] { EXPECT_EQ(Contents(), before.substr(0, 100)); }},
      {"grown by one byte", [&] { ASSERT_EQ(::truncate(Path().c_str(), kImageSize + 1), 0); },
       kSharingViolation, [&] { EXPECT_EQ(Contents(), before + '\0'); }},
      {"deleted", [&] { ASSERT_EQ(::unlink(Path().c_str()), 0); }, kFileNotFound,
       [&] { EXPECT_FALSE(testing::FileExists(Path())); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& name : {Path(), notes, aside}) ::unlink(name.c_str());
    Write(before);
    DirectoryImage load{};
    DirectoryImage work{};
    DirectoryFile file(files_, Path());
    ASSERT_TRUE(LoadDirectory(file, load).ok());
    PackEntries(load, work);
    c.intervene();
    const StoreResult stored = StoreDirectory(file, work, load, *std::make_unique<StoreScratch>());
    EXPECT_EQ(stored.Failed, StoreStep::Reopen);
    EXPECT_EQ(stored.Code, c.code);
    c.check();
    EXPECT_FALSE(testing::FileExists(JournalName(Path()).Text));
  }
}

// Another program's lock, held through a descriptor of its own.
struct HeldLock {
  const char* name;
  std::function<int(int fd)> take;
  bool blocks_load;
};

TEST_F(DirectoryFileTest, OtherProgramsLocksAreWaitedForThenRefused) {
  const std::string before = ImageBytes(ScatteredImage());
  const HeldLock locks[] = {
      {"flock exclusive", [](int fd) { return ::flock(fd, LOCK_EX); }, true},
      {"flock shared", [](int fd) { return ::flock(fd, LOCK_SH); }, false},
      {"lockf", [](int fd) { return ::lockf(fd, F_LOCK, 0); }, true},
  };
  for (const HeldLock& lock : locks) {
    SCOPED_TRACE(lock.name);
    Write(before);
    // A record lock of this process stands for another's: the store's own
    // locks belong to its open file, so the two conflict all the same.
    const pid_t holder = ::fork();
    if (holder == 0) {
      const int fd = ::open(Path().c_str(), O_RDWR);
      if (fd < 0 || lock.take(fd) != 0) ::_exit(1);
      ::pause();
      ::_exit(0);
    }
    ::usleep(100000);
    PosixFileSystem files(50);
    const Maintenance run = Maintain(files, Path());
    // A journal beside a file locked by a store in progress is that store's
    // own, however incomplete: it is neither judged nor removed.
    WriteFileBytes(JournalName(Path()).Text, "being written");
    EXPECT_EQ(RecoverJournal(files, Path().c_str(), *std::make_unique<StoreScratch>()).Code,
              kLockViolation);
    EXPECT_TRUE(testing::FileExists(JournalName(Path()).Text));
    ::unlink(JournalName(Path()).Text);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    if (lock.blocks_load) {
      EXPECT_EQ(run.Loaded.Failed, LoadStep::Read);
      EXPECT_EQ(run.Loaded.Code, kLockViolation);
    } else {
      ASSERT_TRUE(run.Loaded.ok());
      EXPECT_EQ(run.Stored.Failed, StoreStep::Reopen);
      EXPECT_EQ(run.Stored.Code, kLockViolation);
    }
    EXPECT_EQ(Contents(), before);
  }
}

// Runs one Y maintenance in a child whose seam applies fault, and returns
// the child's wait status.
int MaintainInChild(const std::string& path, const Fault& fault) {
  const pid_t child = ::fork();
  if (child == 0) {
    FaultyFileSystem files(fault);
    const Maintenance run = Maintain(files, path);
    ::_exit(run.Loaded.ok() && run.Stored.ok() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

TEST_F(DirectoryFileTest, SignalDuringTheWriteWaitsForTheStoreToEnd) {
  Write(ImageBytes(ScatteredImage()));
  const int status = MaintainInChild(
      Path(), Fault{FileCall::Write, 2, 0, kImageSize, [] { ::raise(SIGUSR1); }});
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGUSR1);
  EXPECT_EQ(Contents(), FinishedBytes());
  EXPECT_FALSE(testing::FileExists(JournalName(Path()).Text));
}

TEST_F(DirectoryFileTest, KillDuringTheStoreIsUndoneByTheNextRun) {
  const std::string before = ImageBytes(ScatteredImage());
  struct Case {
    const char* name;
    Fault kill;
    std::function<void()> after_kill;
    int recovery_code;
    bool journal_stays;
  };
  const auto killed = [] { ::raise(SIGKILL); };
  const Case cases[] = {
      {"in the write of the file", Fault{FileCall::Write, 2, 0, 5000, killed}, [] {}, 0, false},
      {"in the write of the journal", Fault{FileCall::Write, 1, 0, 5000, killed}, [] {}, 0, false},
      {"after the write, before the journal went",
       Fault{FileCall::Remove, 1, 0, 0, killed}, [] {}, 0, false},
      {"then the file replaced by a copy", Fault{FileCall::Write, 2, 0, 5000, killed},
       [&] {
         const std::string copy = dir_.File("copy");
         WriteFileBytes(copy, ReadFileBytes(Path()));
         ASSERT_EQ(::rename(copy.c_str(), Path().c_str()), 0);
       },
       kSharingViolation, true},
      {"then the file edited", Fault{FileCall::Write, 2, 0, 5000, killed},
       [&] { ChangeInPlace(Path(), 9000, '\x7F'); }, kSharingViolation, true},
      {"then the file gone", Fault{FileCall::Write, 2, 0, 5000, killed},
       [&] { ::unlink(Path().c_str()); }, kFileNotFound, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::unlink(JournalName(Path()).Text);
    Write(before);
    const int status = MaintainInChild(Path(), c.kill);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    c.after_kill();
    const std::string left = testing::FileExists(Path()) ? Contents() : "";

    EXPECT_EQ(RecoverJournal(files_, Path().c_str(), *std::make_unique<StoreScratch>()).Code, c.recovery_code);
    EXPECT_EQ(testing::FileExists(JournalName(Path()).Text), c.journal_stays);
    if (c.journal_stays) {
      EXPECT_TRUE((testing::FileExists(Path()) ? Contents() : "") == left);
      continue;
    }
    EXPECT_TRUE(Contents() == before);
    EXPECT_TRUE(Maintain(files_, Path()).Stored.ok());
    EXPECT_TRUE(Contents() == FinishedBytes());
  }
}

}  // namespace
}  // namespace kovo
