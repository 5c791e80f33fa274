// kovolist's standard streams, as the platform has them.
#pragma once

namespace kovo {

// Makes the standard descriptors safe before any file is opened (POSIX: a
// closed one gets /dev/null, read-only, so that no file takes its place).
void PrepareStandardStreams();

// Whether standard output is a terminal that shows UTF-8, where the code
// page 437 glyphs can be shown as kovomaint's screen shows them.
bool OutputShowsGlyphs();

}  // namespace kovo
