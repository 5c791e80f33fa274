#include "console/posix_write.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace kovo {

void WriteAll(int fd, const char* bytes, std::size_t size) {
  constexpr int kBlockedWriteTimeoutMs = 1000;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd ready{fd, POLLOUT, 0};
      if (::poll(&ready, 1, kBlockedWriteTimeoutMs) > 0) continue;
    }
    return;
  }
}

}  // namespace kovo
