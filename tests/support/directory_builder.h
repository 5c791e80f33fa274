// Building directory images and files for tests.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "directory/directory_entry.h"

namespace kovo::testing {

struct EntryValues {
  EntryValues(std::string f1, std::string f2, std::string f3 = {}, std::string f4 = {},
              std::string f5 = {})
      : Field1(std::move(f1)), Field2(std::move(f2)), Field3(std::move(f3)),
        Field4(std::move(f4)), Field5(std::move(f5)) {}
  std::string Field1, Field2, Field3, Field4, Field5;
};

// Sets each field's length byte and text to the value (cut to capacity).
void PutEntry(DirectoryImage& image, int slot, const EntryValues& values);

template <std::size_t Capacity>
std::string ValueOf(const TextField<Capacity>& field) {
  return std::string(reinterpret_cast<const char*>(field.Text), field.UsableLength());
}

std::string ImageBytes(const DirectoryImage& image);
DirectoryImage ImageFromBytes(std::string_view bytes);

// Field1 of slots 1..count.
std::vector<std::string> FirstFields(const DirectoryImage& image, int count);

// The sample used across tests: used entries in scattered slots with stale
// bytes after their values, an over-capacity length, mixed-case and equal
// keys, bytes above 0x7F, and free slots holding leftovers.
DirectoryImage ScatteredImage();

}  // namespace kovo::testing
