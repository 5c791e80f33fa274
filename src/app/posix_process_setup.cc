#include "app/posix_process_setup.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

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

std::string_view ModuleName(const char* argv0, char* buffer, std::size_t size) {
  const ssize_t length = size > 1 ? ::readlink("/proc/self/exe", buffer, size - 1) : -1;
  if (length > 0) return AfterLastSlash(std::string_view(buffer, static_cast<std::size_t>(length)));
  return AfterLastSlash(argv0 != nullptr ? argv0 : "kovomaint");
}

void WriteFatalReport(int fd, const Status& failure, std::string_view module_name) {
  char report[PATH_MAX + kFatalReportOverhead];
  const std::size_t length = FormatFatalReport(failure, module_name, report, sizeof report);
  WriteAll(fd, report, length);
}

}  // namespace kovo
