#include "console/sleep.h"

#include <windows.h>

namespace kovo {

void SleepMilliseconds(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace kovo
