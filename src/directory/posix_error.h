// Translation of POSIX errno values into the error numbers that the
// utility's messages are keyed on: the POSIX layer's one way into a Status.
#pragma once

#include "directory/status.h"

namespace kovo {

// Codes without an equivalent carry this bit (the platform's range for
// application-defined errors) plus the errno value, so they never alias a
// code with a message of its own.
inline constexpr int kUntranslatedErrorBit = 0x20000000;

// Success for 0; otherwise the failure with the translated code.
Status FromErrno(int posix_errno);

}  // namespace kovo
