#include "kovolist/standard_streams.h"

#include <unistd.h>

#include "app/posix_process_setup.h"
#include "console/cp437_glyphs.h"

namespace kovo {

void PrepareStandardStreams() { EnsureStandardDescriptors(); }

bool OutputShowsGlyphs() {
  return ::isatty(STDOUT_FILENO) == 1 && EncodingFromLocale() == GlyphEncoding::Utf8;
}

}  // namespace kovo
