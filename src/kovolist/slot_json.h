// A directory image as one JSON document, for scripts. The schema is in
// kovolist(1).
#pragma once

#include <cstdint>
#include <string>

#include "kovolist/run_preview.h"
#include "directory/directory_entry.h"

namespace kovo {

struct JsonListing {
  std::string File;
  std::uint64_t Size = 0;    // the file's length in bytes
  std::string Listing;       // "as is", or "after kovomaint <switch>"
  bool UsedOnly = false;
  // After a run: what it changed, in the image before it.
  const ChangeSummary* Changes = nullptr;
  const DirectoryImage* Before = nullptr;
};

// Every slot (or every used one) with each field's length byte, its value
// decoded from code page 437 to UTF-8, whether a run would cut it, and its
// raw bytes (length byte and text) in hexadecimal, so nothing is lost; the
// bytes past the last slot, which runs keep, counted. After a run, the
// slots it erases (as they were) and the fields it cuts.
std::string ImageJson(const DirectoryImage& image, const JsonListing& listing);

}  // namespace kovo
