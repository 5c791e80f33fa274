// What the process arranges before the run and needs at its end.
#pragma once

#include <cstddef>
#include <string_view>

#include "app/fatal_report.h"

namespace kovo {

// Opens /dev/null read-only on any of descriptors 0-2 that is closed, so that
// no file the run opens can take the place of standard output, and writes
// there still fail.
void EnsureStandardDescriptors();

// A closed pipe or a file-size limit becomes a write error the run reports,
// not death by signal.
void IgnoreWriteSignals();

// The executable's file name, after the last '/', kept in buffer or argv0;
// takes no memory.
std::string_view ModuleName(const char* argv0, char* buffer, std::size_t size);

// Writes the fatal report to fd without taking any memory.
void WriteFatalReport(int fd, const Status& failure, std::string_view module_name);

}  // namespace kovo
