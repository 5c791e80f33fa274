// Splitting a raw command line, as the Win32 console hands it over, into
// arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kovo {

// Arguments are separated by runs of bytes 1-32 outside double quotes. A
// double quote opens a stretch, up to the next double quote or the end,
// taken literally; both quotes are dropped, so quoted and unquoted stretches
// join ('a"b c"d' gives 'ab cd'). A pair of double quotes at the start of an
// argument is skipped like a separator. The list stops at the first empty
// argument. The first element is the program's own name as it stands.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace kovo
