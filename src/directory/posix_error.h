// Translation of POSIX errno values into the error numbers that the
// utility's messages are keyed on.
#pragma once

namespace kovo {

// Codes without an equivalent carry this bit (the platform's range for
// application-defined errors) plus the errno value, so they never alias a
// code with a message of its own.
inline constexpr int kUntranslatedErrorBit = 0x20000000;

int TranslateErrno(int posix_errno);

}  // namespace kovo
