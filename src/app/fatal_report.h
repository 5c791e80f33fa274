// The fatal failure report: plain bytes written straight to standard output
// when the store fails or memory runs out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "directory/directory_file.h"

namespace kovo {

enum class FatalKind { InOutError, OutOfMemory };

// Where the run failed; each has its own stable code location in the report.
enum class FatalStep { TakeImages, Recover, Reopen, Journal, Write, Sync, Close };

struct FatalFailure {
  FatalKind Kind = FatalKind::InOutError;
  FatalStep Step = FatalStep::Reopen;
  int Code = 0;
};

// Running out of memory, wherever it happens: the images are not to be had.
inline constexpr FatalFailure kOutOfMemory{FatalKind::OutOfMemory, FatalStep::TakeImages, 0};

FatalStep FatalStepOf(StoreStep step);

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
