// Waiting out a pause, the whole of it, as the platform sleeps.
#pragma once

#include <cstdint>

namespace kovo {

// Sleeps the whole time; a signal that interrupts the sleep does not cut it.
void SleepMilliseconds(std::uint32_t milliseconds);

}  // namespace kovo
