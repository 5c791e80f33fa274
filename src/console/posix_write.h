// Writing a whole buffer to a descriptor, as console output does.
#pragma once

#include <cstddef>

namespace kovo {

// Writes all size bytes to fd, looping over short writes and interruptions
// and waiting up to a second at a time on a descriptor left non-blocking;
// gives up on anything else, since console output never fails from the
// caller's side.
void WriteAll(int fd, const char* bytes, std::size_t size);

}  // namespace kovo
