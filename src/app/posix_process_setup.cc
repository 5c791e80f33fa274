#include "app/posix_process_setup.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "app/fatal_report.h"
#include "console/posix_write.h"

namespace kovo {
namespace {

std::string_view AfterLastSlash(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

void EnsureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Read-only: a write to it fails as it would on the closed descriptor.
    const int opened = ::open("/dev/null", O_RDONLY);
    // open returns the lowest free descriptor, which is fd itself.
    if (opened >= 0 && opened != fd) ::close(opened);
  }
}

void IgnoreWriteSignals() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

std::string_view ExecutableName(char* buffer, std::size_t size) {
  const ssize_t length = ::readlink("/proc/self/exe", buffer, size - 1);
  return AfterLastSlash(length > 0 ? std::string_view(buffer, static_cast<std::size_t>(length)) : "kovomaint");
}

void WriteStandardOutput(const char* bytes, std::size_t size) { WriteAll(STDOUT_FILENO, bytes, size); }

}  // namespace kovo
