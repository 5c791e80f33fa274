#include "console/screen.h"

#include "console/sleep.h"

namespace kovo {

void Screen::Pause(std::uint32_t milliseconds) {
  Flush();
  SleepMilliseconds(milliseconds);
}

}  // namespace kovo
