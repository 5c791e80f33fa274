#include "support/directory_builder.h"

#include <algorithm>
#include <cstring>

namespace kovo::testing {
namespace {

template <std::size_t Capacity>
void PutField(TextField<Capacity>& field, const std::string& value) {
  const std::size_t length = std::min(value.size(), Capacity);
  field.Length = static_cast<std::uint8_t>(length);
  std::memcpy(field.Text, value.data(), length);
}

template <std::size_t Capacity>
void FillStale(TextField<Capacity>& field, char stale) {
  std::memset(field.Text + field.UsableLength(), stale, Capacity - field.UsableLength());
}

}  // namespace

void PutEntry(DirectoryImage& image, int slot, const EntryValues& values) {
  DirectoryEntry& entry = image.Slot(slot);
  PutField(entry.Field1, values.Field1);
  PutField(entry.Field2, values.Field2);
  PutField(entry.Field3, values.Field3);
  PutField(entry.Field4, values.Field4);
  PutField(entry.Field5, values.Field5);
}

std::string ImageBytes(const DirectoryImage& image) {
  return std::string(reinterpret_cast<const char*>(image.Bytes()), kImageSize);
}

DirectoryImage ImageFromBytes(std::string_view bytes) {
  DirectoryImage image{};
  std::memcpy(image.Bytes(), bytes.data(), std::min(bytes.size(), kImageSize));
  return image;
}

std::vector<std::string> FirstFields(const DirectoryImage& image, int count) {
  std::vector<std::string> values;
  for (int slot = 1; slot <= count; ++slot) values.push_back(ValueOf(image.Slot(slot).Field1));
  return values;
}

DirectoryImage ScatteredImage() {
  DirectoryImage image{};
  PutEntry(image, 3, {"beta", "Beta Street 2", "555-0102", "beta@example", "note b"});
  PutEntry(image, 7, {"Alpha", "First Alpha", "555-0101", "", ""});
  PutEntry(image, 12, {"\xE1" "ber", "Sharp s", "", "", ""});
  PutEntry(image, 20, {"alpha", "Second alpha", "555-0103", "", ""});
  PutEntry(image, 41, {"ALPHA2", "Third", "", "", ""});
  PutEntry(image, 58, {"zeta", "Last letter", "", "", ""});
  PutEntry(image, 99, {"10 Downing", "Number", "", "", ""});
  // Stale bytes after the values of a used slot.
  FillStale(image.Slot(3).Field1, 'X');
  FillStale(image.Slot(3).Field5, 'Y');
  // An over-capacity length: the text is 12 bytes, the length byte says 200.
  std::memcpy(image.Slot(20).Field3.Text, "555-0103-EXT", 12);
  image.Slot(20).Field3.Length = 200;
  // Free slots with leftovers: one name without a second field, one
  // second field without a name, and junk in the other fields.
  PutEntry(image, 1, {"ghost", "", "junk", "junk", "junk"});
  PutEntry(image, 50, {"", "orphan", "", "", ""});
  std::memset(&image.Slot(100), 0, kEntrySize);
  image.Slot(100).Field4.Length = 3;
  return image;
}

}  // namespace kovo::testing
