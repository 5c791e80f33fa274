#include "console/screen.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <time.h>
#endif

namespace kovo {

void Screen::Pause(std::uint32_t milliseconds) {
  Flush();
#ifdef _WIN32
  ::Sleep(milliseconds);
#else
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
#endif
}

}  // namespace kovo
