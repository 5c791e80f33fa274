#include "directory/directory_file.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "directory/maintenance_passes.h"
#include "directory/posix_file_system.h"
#include "support/directory_builder.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

using testing::Fault;
using testing::FaultyFileSystem;
using testing::FileCall;
using testing::FirstFields;
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
  run.Stored = StoreDirectory(file, run.Work, load);
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

TEST_F(DirectoryFileTest, RoundTripPacksAndSortsScatteredEntries) {
  Write(ImageBytes(ScatteredImage()));
  const Maintenance run = Maintain(files_, Path());
  ASSERT_TRUE(run.Loaded.ok());
  ASSERT_TRUE(run.Stored.ok()) << run.Stored.Code;

  const std::string stored = Contents();
  ASSERT_EQ(stored.size(), kImageSize);
  const DirectoryImage image = testing::ImageFromBytes(stored);
  EXPECT_EQ(FirstFields(image, 7), (std::vector<std::string>{"10 Downing", "Alpha", "alpha",
                                                             "ALPHA2", "beta", "zeta",
                                                             "\xE1" "ber"}));
  EXPECT_EQ(image.Slot(3).Field3.Length, 12);  // the over-long length, cut
  EXPECT_EQ(stored.substr(7 * kEntrySize), std::string(93 * kEntrySize, '\0'));
  EXPECT_EQ(stored, ImageBytes(run.Work));
}

TEST_F(DirectoryFileTest, AllFreeFileComesBackAsZeroBytes) {
  std::string bytes(kImageSize, '\0');
  bytes[5] = 'x';  // junk in a free slot
  bytes[0] = 3;    // a first field without a second
  Write(bytes);
  const Maintenance run = Maintain(files_, Path());
  ASSERT_TRUE(run.Stored.ok());
  EXPECT_EQ(Contents(), std::string(kImageSize, '\0'));
}

TEST_F(DirectoryFileTest, LongerFileKeepsItsTail) {
  const std::string tail = "TAIL\x01\x02\xFF past the image";
  Write(ImageBytes(ScatteredImage()) + tail);
  const Maintenance run = Maintain(files_, Path());
  ASSERT_TRUE(run.Stored.ok());
  const std::string stored = Contents();
  ASSERT_EQ(stored.size(), kImageSize + tail.size());
  EXPECT_EQ(stored.substr(kImageSize), tail);
  EXPECT_EQ(stored.substr(0, kImageSize), ImageBytes(run.Work));
}

TEST_F(DirectoryFileTest, RefusedFilesAreLeftAsTheyWere) {
  struct Case {
    const char* name;
    bool exists;
    std::size_t size;
    LoadStep failed;
    int code;
  };
  const Case cases[] = {
      {"missing", false, 0, LoadStep::Open, 2},
      {"one byte short", true, kImageSize - 1, LoadStep::Read, kShortRead},
      {"empty", true, 0, LoadStep::Read, kShortRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::unlink(Path().c_str());
    const std::string bytes = ImageBytes(ScatteredImage()).substr(0, c.size);
    if (c.exists) Write(bytes);
    FaultyFileSystem files;
    const Maintenance run = Maintain(files, Path());
    EXPECT_EQ(run.Loaded.Failed, c.failed);
    EXPECT_EQ(run.Loaded.Code, c.code);
    EXPECT_EQ(files.OpenHandles(), 0);
    for (const std::string& call : files.Calls()) {
      EXPECT_NE(call, "write");
    }
    EXPECT_EQ(testing::FileExists(Path()), c.exists);
    if (c.exists) {
      EXPECT_EQ(Contents(), bytes);
    }
  }
}

TEST_F(DirectoryFileTest, NonRegularFilesTakeTheOpenFailure) {
  ASSERT_EQ(::mkdir(Path().c_str(), 0755), 0);
  EXPECT_EQ(Maintain(files_, Path()).Loaded.Failed, LoadStep::Open);
  ::rmdir(Path().c_str());

  // A FIFO with no writer would block an ordinary open forever.
  ASSERT_EQ(::mkfifo(Path().c_str(), 0644), 0);
  const Maintenance fifo = Maintain(files_, Path());
  EXPECT_EQ(fifo.Loaded.Failed, LoadStep::Open);
  EXPECT_EQ(fifo.Loaded.Code, 5);
  ::unlink(Path().c_str());

  ASSERT_EQ(::symlink("/dev/null", Path().c_str()), 0);
  EXPECT_EQ(Maintain(files_, Path()).Loaded.Failed, LoadStep::Open);
}

TEST_F(DirectoryFileTest, ReadOnlyFileCannotBeOpened) {
  if (::geteuid() == 0) GTEST_SKIP() << "root opens read-only files for writing";
  Write(ImageBytes(ScatteredImage()));
  ::chmod(Path().c_str(), 0444);
  const Maintenance run = Maintain(files_, Path());
  EXPECT_EQ(run.Loaded.Failed, LoadStep::Open);
  EXPECT_EQ(run.Loaded.Code, 5);
}

TEST_F(DirectoryFileTest, StoreFollowsASymlinkToTheRealFile) {
  const std::string target = dir_.File("real.fon");
  WriteFileBytes(target, ImageBytes(ScatteredImage()));
  ASSERT_EQ(::symlink(target.c_str(), Path().c_str()), 0);
  const Maintenance run = Maintain(files_, Path());
  ASSERT_TRUE(run.Stored.ok());
  EXPECT_EQ(ReadFileBytes(target), ImageBytes(run.Work));
}

// Runs one store in a child process whose file-size limit is limit bytes,
// with SIGXFSZ ignored so the limit shows as a short write. Returns the
// store's code, or -1 if the child did not report one.
int StoreUnderFileSizeLimit(const std::string& path, rlim_t limit) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit size_limit{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &size_limit);
    PosixFileSystem files;
    const Maintenance run = Maintain(files, path);
    ::_exit(run.Loaded.ok() ? std::min(run.Stored.Code, 254) : 255);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(DirectoryFileTest, RealShortWriteReportsDiskFullAndRestoresTheFile) {
  const std::string before = ImageBytes(ScatteredImage());
  Write(before);
  EXPECT_EQ(StoreUnderFileSizeLimit(Path(), 10000), kShortWrite);
  EXPECT_EQ(Contents(), before);
}

TEST_F(DirectoryFileTest, FileThatShrankSinceTheLoadIsExtendedByTheStore) {
  Write(ImageBytes(ScatteredImage()));
  DirectoryImage load{};
  DirectoryImage work{};
  DirectoryFile file(files_, Path());
  ASSERT_TRUE(LoadDirectory(file, load).ok());
  PackEntries(load, work);
  ASSERT_EQ(::truncate(Path().c_str(), 100), 0);
  ASSERT_TRUE(StoreDirectory(file, work, load).ok());
  EXPECT_EQ(Contents(), ImageBytes(work));
}

}  // namespace
}  // namespace kovo
