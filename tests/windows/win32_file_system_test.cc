#include "directory/win32_file_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "directory/directory_file.h"
#include "directory/maintenance_passes.h"
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

TEST(Win32FileSystem, RoundTripKeepsTheTailAndSortsTheImage) {
  testing::TempDir dir;
  const std::string path = dir.File("kovo.fon");
  testing::WriteFileBytes(path, testing::ImageBytes(testing::ScatteredImage()) + "tail");
  Win32FileSystem files;
  DirectoryFile file(files, path);
  DirectoryImage load{};
  DirectoryImage work{};
  ASSERT_TRUE(LoadDirectory(file, load).ok());
  SortEntries(work, PackEntries(load, work));
  ASSERT_TRUE(StoreDirectory(file, work, load).ok());
  EXPECT_EQ(testing::ReadFileBytes(path), testing::ImageBytes(work) + "tail");
}

TEST(Win32FileSystem, ShortFileIsAShortRead) {
  testing::TempDir dir;
  const std::string path = dir.File("kovo.fon");
  testing::WriteFileBytes(path, std::string(kImageSize - 1, 'x'));
  Win32FileSystem files;
  DirectoryFile file(files, path);
  DirectoryImage load{};
  const LoadResult loaded = LoadDirectory(file, load);
  EXPECT_EQ(loaded.Failed, LoadStep::Read);
  EXPECT_EQ(loaded.Code, kShortRead);
}

}  // namespace
}  // namespace kovo
