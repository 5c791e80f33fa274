#include "app/slot_json.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "console/cp437_glyphs.h"

namespace kovo {
namespace {

using Json = nlohmann::ordered_json;

std::string Cp437ToUtf8(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  char glyph[kMaxGlyphBytes];
  for (std::size_t i = 0; i < count; ++i) text.append(glyph, EncodeUtf8(GlyphOf(bytes[i]), glyph));
  return text;
}

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
  std::string hex;
  char pair[3];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
    hex += pair;
  }
  return hex;
}

template <std::size_t Capacity>
Json FieldJson(int number, const TextField<Capacity>& field) {
  return Json{{"field", number},
              {"capacity", Capacity},
              {"length", field.Length},
              {"value", Cp437ToUtf8(field.Text, field.UsableLength())},
              {"cut", field.Length > Capacity},
              {"raw", Hex(&field.Length, 1 + Capacity)}};
}

Json SlotJson(const DirectoryEntry& entry, int number) {
  return Json{{"slot", number},
              {"used", entry.IsUsed()},
              {"fields", Json::array({FieldJson(1, entry.Field1), FieldJson(2, entry.Field2),
                                      FieldJson(3, entry.Field3), FieldJson(4, entry.Field4),
                                      FieldJson(5, entry.Field5)})}};
}

}  // namespace

std::string ImageJson(const DirectoryImage& image, const JsonListing& listing) {
  Json slots = Json::array();
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (listing.UsedOnly && !image.Slot(slot).IsUsed()) continue;
    slots.push_back(SlotJson(image.Slot(slot), slot));
  }
  const Json document{{"file", listing.File},
                      {"size", listing.Size},
                      {"listing", listing.Listing},
                      {"slots", slots}};
  // A file name need not be UTF-8; such bytes become U+FFFD rather than an error.
  return document.dump(2, ' ', false, Json::error_handler_t::replace);
}

}  // namespace kovo
