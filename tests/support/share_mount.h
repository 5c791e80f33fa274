// A folder mounted as another machine sees it over a share, by
// tests/tools/share_fs, for as long as the object lives.
#pragma once

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kovo::testing {

class ShareMount {
 public:
  ShareMount(const std::string& folder, const std::string& at) : at_(at) {
    std::filesystem::create_directory(at);
    int ready[2];
    if (::pipe(ready) != 0) return;
    if ((server_ = ::fork()) == 0) {
      ::close(ready[0]);
      ::dup2(::open("/dev/null", O_WRONLY), 2);  // libfuse's notices
      ::setenv("SHARE_FS_READY_FD", std::to_string(ready[1]).c_str(), 1);
      ::execl(SHARE_FS_PATH, SHARE_FS_PATH, folder.c_str(), at.c_str(), nullptr);
      ::_exit(127);
    }
    ::close(ready[1]);
    char byte = 0;
    (void)::read(ready[0], &byte, 1);  // the end of the pipe: serving, or gone
    ::close(ready[0]);
  }
  ~ShareMount() {
    ::umount2(at_.c_str(), MNT_DETACH);
    if (server_ > 0) ::waitpid(server_, nullptr, 0);
  }
  ShareMount(const ShareMount&) = delete;
  ShareMount& operator=(const ShareMount&) = delete;

  // Whether the share is mounted: its root is on another device than the
  // folder it stands in.
  bool Serving() const {
    struct stat root {};
    struct stat above {};
    return ::stat(at_.c_str(), &root) == 0 && ::stat((at_ + "/..").c_str(), &above) == 0 &&
           root.st_dev != above.st_dev;
  }
  const std::string& Path() const { return at_; }
  std::string File() const { return at_ + "/kovo.fon"; }

 private:
  std::string at_;
  pid_t server_ = 0;
};

}  // namespace kovo::testing
