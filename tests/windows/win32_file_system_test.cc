#include "directory/win32_file_system.h"

#include <gtest/gtest.h>
#include <memory>
#include <windows.h>

#include "directory/directory_file.h"
#include "directory/maintenance_passes.h"
#include "directory/store_journal.h"
#include "support/directory_builder.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

TEST(Win32FileSystem, OpensOnlyExistingRegularFiles) {
  testing::TempDir dir;
  Win32FileSystem files;
  EXPECT_EQ(files.OpenExisting(dir.File("kovo.fon").c_str()).Code, ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(testing::FileExists(dir.File("kovo.fon")));
  EXPECT_EQ(files.OpenExisting(dir.Path().c_str()).Code, ERROR_ACCESS_DENIED);
  EXPECT_EQ(files.OpenExisting("NUL").Code, ERROR_ACCESS_DENIED);
}

bool RunningUnderWine() {
  return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(Win32FileSystem, ReadOnlyFileCannotBeOpened) {
  // wine keeps the read-only attribute as Unix permissions, which root ignores.
  if (RunningUnderWine()) GTEST_SKIP() << "the read-only attribute needs Windows itself";
  testing::TempDir dir;
  const std::string path = dir.File("kovo.fon");
  testing::WriteFileBytes(path, std::string(kImageSize, '\0'));
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  Win32FileSystem files;
  EXPECT_EQ(files.OpenExisting(path.c_str()).Code, ERROR_ACCESS_DENIED);
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32FileSystem, AnotherProgramsLockIsWaitedForThenRefused) {
  testing::TempDir dir;
  const std::string path = dir.File("kovo.fon");
  testing::WriteFileBytes(path, testing::ImageBytes(testing::ScatteredImage()));
  const HANDLE other = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  OVERLAPPED at{};
  ASSERT_TRUE(::LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK, 0, 100, 0, &at));
  Win32FileSystem files(50);
  DirectoryFile file(files, path);
  DirectoryImage load{};
  const LoadResult loaded = LoadDirectory(file, load);
  EXPECT_EQ(loaded.Failed, LoadStep::Read);
  EXPECT_EQ(loaded.Code, kLockViolation);
  ::CloseHandle(other);
}

TEST(Win32FileSystem, StoreRefusesAFileReplacedSinceTheLoad) {
  testing::TempDir dir;
  const std::string path = dir.File("kovo.fon");
  const std::string copy = dir.File("copy.fon");
  const std::string before = testing::ImageBytes(testing::ScatteredImage());
  testing::WriteFileBytes(path, before);
  Win32FileSystem files;
  DirectoryFile file(files, path);
  DirectoryImage load{};
  DirectoryImage work{};
  ASSERT_TRUE(LoadDirectory(file, load).ok());
  PackEntries(load, work);
  // The load's handle, shared for reading and writing but not deleting,
  // keeps the name in place; another program can replace the file only once
  // the store has closed it.
  ASSERT_TRUE(files.Close(file.Release()).ok());
  testing::WriteFileBytes(copy, before);
  ASSERT_TRUE(::MoveFileExA(copy.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
  const StoreResult stored = StoreDirectory(file, work, load, *std::make_unique<StoreScratch>());
  EXPECT_EQ(stored.Code, kSharingViolation);
  EXPECT_TRUE(testing::ReadFileBytes(path) == before);
  EXPECT_FALSE(testing::FileExists(JournalName(path).Text));
}

}  // namespace
}  // namespace kovo
