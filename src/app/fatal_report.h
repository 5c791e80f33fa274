// The fatal failure report: plain bytes written straight to standard output
// when the store fails or memory runs out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "directory/directory_file.h"

namespace kovo {

enum class FatalKind { InOutError, OutOfMemory };

// The step that failed names the report's code location: each store step
// has its own, and running out of memory, wherever it happens, reports the
// location where the run takes its images.
struct FatalFailure {
  FatalKind Kind = FatalKind::InOutError;
  StoreStep Step = StoreStep::Done;
  int Code = 0;
};

inline constexpr FatalFailure kOutOfMemory{FatalKind::OutOfMemory, StoreStep::Done, 0};

// The message for an input/output error code ("I/O error %d" when unnamed).
std::string InOutErrorMessage(int code);

// The report's length beyond the module name, with room to spare.
inline constexpr std::size_t kFatalReportOverhead = 96;

// "Exception <kind> in module <module> at <8 hex digits>." CR LF, then the
// message with a closing "." unless it is empty or already has one. Written
// into out (NUL-terminated, cut to capacity) without taking any memory, so
// that it can report running out of it; returns the length.
std::size_t FormatFatalReport(const FatalFailure& failure, std::string_view module_name,
                              char* out, std::size_t capacity);
std::string FatalReportText(const FatalFailure& failure, std::string_view module_name);

}  // namespace kovo
