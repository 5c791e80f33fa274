#include "kovolist/standard_streams.h"

namespace kovo {

// The console's code page decides what it shows: the bytes are escaped.
void PrepareStandardStreams() {}

bool OutputShowsGlyphs() { return false; }

}  // namespace kovo
