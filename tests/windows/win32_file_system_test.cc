// What only the Win32 file seam does: which files it opens, another
// program's lock, a replaced file, and a journal another program holds open.
#include "directory/platform_file_system.h"

#include <gtest/gtest.h>
#include <memory>
#include <windows.h>

#include "directory/directory_file.h"
#include "directory/maintenance_passes.h"
#include "directory/store_journal.h"
#include "support/directory_builder.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

class PlatformFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteFileBytes(path_, before_); }

  testing::TempDir dir_;
  const std::string path_ = dir_.File("kovo.fon");
  const std::string before_ = testing::kScattered;
  PlatformFileSystem files_{50};
  DirectoryFile file_{files_, path_};
  DirectoryImage load_{};
};

TEST_F(PlatformFileSystemTest, OpensOnlyExistingRegularFiles) {
  FileHandle opened = kNoFile;
  const std::string missing = dir_.File("other.fon");
  EXPECT_EQ(files_.OpenExisting(missing.c_str(), Access::ReadWrite, opened).Code, ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(testing::FileExists(dir_.File("other.fon")));
  EXPECT_EQ(files_.OpenExisting(dir_.Path().c_str(), Access::ReadWrite, opened).Code, ERROR_ACCESS_DENIED);
  EXPECT_EQ(files_.OpenExisting("NUL", Access::ReadWrite, opened).Code, ERROR_ACCESS_DENIED);
  EXPECT_EQ(opened, kNoFile);
}

TEST_F(PlatformFileSystemTest, AnotherProgramsLockIsWaitedForThenRefused) {
  const HANDLE other = ::CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  OVERLAPPED at{};
  ASSERT_TRUE(::LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK, 0, 100, 0, &at));
  const Status loaded = file_.LoadDirectory(load_);
  EXPECT_EQ(loaded.Failed, Step::Read);
  EXPECT_EQ(loaded.Code, kLockViolation);
  ::CloseHandle(other);
}

// Another program replaces the file as soon as the store has closed the
// load's handle, which kept the name in place until then.
TEST_F(PlatformFileSystemTest, StoreRefusesAFileReplacedSinceTheLoad) {
  bool moved = false;
  const auto replace = [&] {
    testing::WriteFileBytes(dir_.File("copy.fon"), before_);
    moved = ::MoveFileExA(dir_.File("copy.fon").c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
  };
  testing::FaultyFileSystem files(testing::Fault{testing::FileCall::Close, 1, 0, 0, replace});
  DirectoryFile file(files, path_);
  DirectoryImage work{};
  ASSERT_TRUE(file.LoadDirectory(load_).ok());
  PackEntries(load_, work);
  EXPECT_EQ(file.StoreDirectory(work, load_, *std::make_unique<StoreScratch>()).Code, kSharingViolation);
  EXPECT_TRUE(moved);
  EXPECT_TRUE(testing::ReadFileBytes(path_) == before_);
  EXPECT_FALSE(testing::FileExists(JournalName(path_).Text));
}

// A reader or a scanner that holds the journal open, sharing no deleting,
// does not turn a finished store into a refusal: the journal is spent.
TEST_F(PlatformFileSystemTest, AReaderOfTheJournalDoesNotStopTheStore) {
  const std::string journal = JournalName(path_).Text;
  HANDLE reader = INVALID_HANDLE_VALUE;
  const auto open_journal = [&] {
    reader = ::CreateFileA(journal.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  testing::FaultyFileSystem files(testing::Fault{testing::FileCall::SyncFolder, 1, 0, 0, open_journal});
  EXPECT_TRUE(testing::Maintain(files, path_).Stored.ok());
  EXPECT_TRUE(testing::ReadFileBytes(path_) == testing::Finished());
  ::CloseHandle(reader);
  EXPECT_TRUE(testing::ReadFileBytes(journal) == std::string(sizeof(JournalRecord), '\0'));
}

}  // namespace
}  // namespace kovo
