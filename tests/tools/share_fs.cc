// A folder as another machine sees it over a share: a FUSE passthrough of
// one folder, of the calls runs and listings make, mounted once per machine,
// that passes inode numbers through and caches nothing. It passes record
// locks and flock, each kind apart, to the folder, as a share whose locks
// reach every machine does (the Linux clients of NFS and SMB make flock a
// record lock, which this does not model).
//   share_fs FOLDER MOUNTPOINT
// It serves in the foreground until the mount point is unmounted, and
// closes the descriptor SHARE_FS_READY_FD names once the mount serves.
#define FUSE_USE_VERSION 31
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int folder = -1;  // the shared folder, under which every path is looked up
std::mutex lockers_guard;
std::map<std::uint64_t, std::uint64_t> lockers;  // by open: whose locks it holds

// The path below the folder: "." for the folder itself.
const char* Below(const char* path) { return path[1] == '\0' ? "." : path + 1; }

int Result(int returned) { return returned < 0 ? -errno : 0; }

void* Init(fuse_conn_info*, fuse_config* config) {
  config->use_ino = 1;
  config->hard_remove = 1;  // no hidden files for removed open ones
  config->direct_io = 1;
  config->entry_timeout = 0;
  config->attr_timeout = 0;
  config->negative_timeout = 0;
  // Mounted and serving: the fd that SHARE_FS_READY_FD names hears it.
  if (const char* ready = std::getenv("SHARE_FS_READY_FD")) ::close(std::atoi(ready));
  return nullptr;
}

int GetAttributes(const char* path, struct stat* attributes, fuse_file_info* file) {
  if (file != nullptr) return Result(::fstat(int(file->fh), attributes));
  return Result(::fstatat(folder, Below(path), attributes, AT_SYMLINK_NOFOLLOW));
}

int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
  const int fd = ::openat(folder, Below(path), O_RDONLY | O_DIRECTORY);
  DIR* entries = fd < 0 ? nullptr : ::fdopendir(fd);
  if (entries == nullptr) return -errno;
  while (const dirent* entry = ::readdir(entries)) fill(buffer, entry->d_name, nullptr, 0, fuse_fill_dir_flags{});
  ::closedir(entries);
  return 0;
}

int Open(const char* path, fuse_file_info* file) {
  const int fd = ::openat(folder, Below(path), file->flags);
  if (fd < 0) return -errno;
  file->fh = std::uint64_t(fd);
  return 0;
}

int Create(const char* path, mode_t mode, fuse_file_info* file) {
  const int fd = ::openat(folder, Below(path), file->flags, mode);
  if (fd < 0) return -errno;
  file->fh = std::uint64_t(fd);
  return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* file) {
  const ssize_t n = ::pread(int(file->fh), buffer, size, offset);
  return n < 0 ? -errno : int(n);
}

int Write(const char*, const char* data, size_t size, off_t offset, fuse_file_info* file) {
  const ssize_t n = ::pwrite(int(file->fh), data, size, offset);
  return n < 0 ? -errno : int(n);
}

int Sync(const char*, int, fuse_file_info* file) { return Result(::fsync(int(file->fh))); }
int Release(const char*, fuse_file_info* file) {
  const std::lock_guard<std::mutex> guard(lockers_guard);
  lockers.erase(file->fh);
  return Result(::close(int(file->fh)));
}
int Remove(const char* path) { return Result(::unlinkat(folder, Below(path), 0)); }

// The runs change only files they hold open.
int ChangeMode(const char*, mode_t mode, fuse_file_info* file) {
  return file == nullptr ? -ENOSYS : Result(::fchmod(int(file->fh), mode));
}

int ChangeOwner(const char*, uid_t owner, gid_t group, fuse_file_info* file) {
  return file == nullptr ? -ENOSYS : Result(::fchown(int(file->fh), owner, group));
}

int Truncate(const char*, off_t length, fuse_file_info* file) {
  return file == nullptr ? -ENOSYS : Result(::ftruncate(int(file->fh), length));
}

// Every open of a file is a file of its own on the folder, so its locks
// belong to that open, as open-file-description locks do. The release of
// every lock of a process that closes a file it shares with the locker
// (fork's children) leaves the locker's locks alone.

int Lock(const char*, fuse_file_info* file, int command, struct flock* lock) {
  const std::lock_guard<std::mutex> guard(lockers_guard);
  const auto locker = lockers.find(file->fh);
  const bool others = locker != lockers.end() && locker->second != file->lock_owner;
  if (command != F_GETLK && lock->l_type == F_UNLCK && others) return 0;
  const int shared = command == F_GETLK ? F_OFD_GETLK : command == F_SETLK ? F_OFD_SETLK : F_OFD_SETLKW;
  lock->l_pid = 0;
  if (::fcntl(int(file->fh), shared, lock) != 0) return -errno;
  if (command != F_GETLK && lock->l_type != F_UNLCK) lockers[file->fh] = file->lock_owner;
  return 0;
}

int Flock(const char*, fuse_file_info* file, int operation) { return Result(::flock(int(file->fh), operation)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  folder = ::open(argv[1], O_RDONLY | O_DIRECTORY);
  if (folder < 0) return 1;
  fuse_operations operations{};
  operations.init = Init;
  operations.getattr = GetAttributes;
  operations.readdir = ReadFolder;
  operations.open = Open;
  operations.create = Create;
  operations.read = Read;
  operations.write = Write;
  operations.fsync = Sync;
  operations.release = Release;
  operations.unlink = Remove;
  operations.chmod = ChangeMode;
  operations.chown = ChangeOwner;
  operations.truncate = Truncate;
  operations.lock = Lock;
  operations.flock = Flock;
  std::string mount_point = argv[2];
  char* fuse_arguments[] = {argv[0], const_cast<char*>("-f"), const_cast<char*>("-o"),
                            const_cast<char*>("default_permissions,allow_other"), mount_point.data(), nullptr};
  return fuse_main(5, fuse_arguments, &operations, nullptr);
}
