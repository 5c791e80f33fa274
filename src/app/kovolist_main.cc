// kovolist [FILE]: lists every slot of a directory file (kovo.fon by
// default). It only reads.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/process_setup.h"
#include "app/slot_listing.h"

namespace {

std::size_t ReadUpTo(int fd, unsigned char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, buffer + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

// A journal beside the file means a run of kovomaint was cut off in the
// middle of its store; the file may be torn until the next run rolls it back.
void WarnOfAJournal(const char* name) {
  const std::string journal = std::string(name) + "-journal";
  struct stat info {};
  if (::stat(journal.c_str(), &info) != 0) return;
  std::fprintf(stderr,
               "kovolist: warning: %s stands beside %s: a kovomaint run was cut off in the "
               "middle of its store, and the next run rolls it back\n",
               journal.c_str(), name);
}

}  // namespace

int main(int argc, char** argv) {
  kovo::EnsureStandardDescriptors();
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::fprintf(stderr, "usage: kovolist [FILE]\n");
    return 2;
  }
  const char* name = argc == 2 ? argv[1] : kovo::kDirectoryFileName;
  WarnOfAJournal(name);
  const int fd = ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    std::fprintf(stderr, "kovolist: %s: %s\n", name, std::strerror(errno));
    return 1;
  }
  kovo::DirectoryImage image{};
  const std::size_t size = ReadUpTo(fd, image.Bytes(), kovo::kImageSize);
  ::close(fd);

  const int whole_slots = static_cast<int>(size / kovo::kEntrySize);
  for (int slot = 1; slot <= whole_slots; ++slot) {
    std::printf("%s\n", kovo::ListSlot(image.Slot(slot), slot).c_str());
  }
  if (size < kovo::kImageSize) {
    std::fflush(stdout);
    std::fprintf(stderr, "kovolist: %s: %zu bytes, a directory file has %zu\n", name, size,
                 kovo::kImageSize);
    return 1;
  }
  return 0;
}
