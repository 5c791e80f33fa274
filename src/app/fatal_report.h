// The fatal failure report: plain bytes written straight to standard output
// when the store fails or memory runs out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "directory/status.h"

namespace kovo {

// Running out of memory, wherever it happens, is reported at the step where
// the run takes its images.
inline constexpr Status kOutOfMemory{kNotEnoughMemory, Step::Memory};

// The message for an input/output error code ("I/O error %d" when unnamed).
std::string InOutErrorMessage(int code);

// The report's length beyond the module name, with room to spare.
inline constexpr std::size_t kFatalReportOverhead = 96;

// The process seam, defined once a platform: the executable's file name,
// kept in buffer, and plain bytes written to standard output, at the
// console's cursor or into a redirected file. Neither takes memory.
std::string_view ExecutableName(char* buffer, std::size_t size);
void WriteStandardOutput(const char* bytes, std::size_t size);

// "Exception <kind> in module <module> at <8 hex digits>." CR LF, then the
// message and a full stop; the step that failed names the code location.
// Written into out (NUL-terminated, cut to capacity) without taking any
// memory, so that it can report running out of it; returns the length.
std::size_t FormatFatalReport(const Status& failure, std::string_view module_name, char* out,
                              std::size_t capacity);

// The report of failure, in the executable's name, on standard output.
void WriteFatalReport(const Status& failure);

}  // namespace kovo
