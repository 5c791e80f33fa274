// What the process arranges before the run and needs at its end.
#pragma once

namespace kovo {

// Opens /dev/null read-only on any of descriptors 0-2 that is closed, so that
// no file the run opens can take the place of standard output, and writes
// there still fail.
void EnsureStandardDescriptors();

// A closed pipe or a file-size limit becomes a write error the run reports,
// not death by signal.
void IgnoreWriteSignals();

}  // namespace kovo
