// Directory images for tests.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "directory/directory_entry.h"
#include "directory/maintenance_passes.h"

namespace kovo::testing {

// Sets each field's length byte and text (cut to capacity); fields not given are empty.
inline void PutEntry(DirectoryImage& image, int slot, std::vector<std::string> values) {
  values.resize(5);
  const auto put = [](auto& field, const std::string& value) {
    field.Length = static_cast<std::uint8_t>(std::min(value.size(), sizeof field.Text));
    std::memcpy(field.Text, value.data(), field.Length);
  };
  DirectoryEntry& entry = image.Slot(slot);
  put(entry.Field1, values[0]);
  put(entry.Field2, values[1]);
  put(entry.Field3, values[2]);
  put(entry.Field4, values[3]);
  put(entry.Field5, values[4]);
}

inline std::string ImageBytes(const DirectoryImage& image) {
  return std::string(reinterpret_cast<const char*>(image.Bytes()), kImageSize);
}

inline DirectoryImage ImageFromBytes(std::string_view bytes) {
  DirectoryImage image{};
  std::memcpy(image.Bytes(), bytes.data(), std::min(bytes.size(), kImageSize));
  return image;
}

template <std::size_t Capacity>
std::string ValueOf(const TextField<Capacity>& field) {
  return std::string(reinterpret_cast<const char*>(field.Text), field.UsableLength());
}

// The first fields of slots 1..count.
inline std::vector<std::string> FirstFields(const DirectoryImage& image, int count) {
  std::vector<std::string> values;
  for (int slot = 1; slot <= count; ++slot) values.push_back(ValueOf(image.Slot(slot).Field1));
  return values;
}

// The used entries of the scattered image, by slot: mixed-case and equal
// keys, and a byte above 0x7F.
inline const std::pair<int, std::vector<std::string>> kScatteredEntries[] = {
    {3, {"beta", "Beta Street 2", "555-0102", "beta@example", "note b"}},
    {7, {"Alpha", "First Alpha", "555-0101"}},
    {12, {"\xE1" "ber", "Sharp s"}},
    {20, {"alpha", "Second alpha", "555-0103-EXT"}},
    {41, {"ALPHA2", "Third"}},
    {58, {"zeta", "Last letter"}},
    {99, {"10 Downing", "Number"}},
};

// Those entries with stale bytes after values and a length of 200 in a
// 12-byte field; free slots 1, 50 and 100 hold leftovers.
inline DirectoryImage ScatteredImage() {
  DirectoryImage image{};
  for (const auto& [slot, values] : kScatteredEntries) PutEntry(image, slot, values);
  std::memset(image.Slot(3).Field1.Text + 4, 'X', 56);
  std::memset(image.Slot(3).Field5.Text + 6, 'Y', 24);
  image.Slot(20).Field3.Length = 200;
  PutEntry(image, 1, {"ghost", "", "junk", "junk", "junk"});
  PutEntry(image, 50, {"", "orphan"});
  image.Slot(100).Field4.Length = 3;
  return image;
}

// The scattered image's bytes, and as a run leaves them, packed and sorted
// or only packed.
inline const std::string kScattered = ImageBytes(ScatteredImage());

inline std::string Finished(bool sort = true) {
  DirectoryImage work{};
  const int kept = PackEntries(ScatteredImage(), work);
  if (sort) SortEntries(work, kept);
  return ImageBytes(work);
}

}  // namespace kovo::testing
