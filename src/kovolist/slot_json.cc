#include "kovolist/slot_json.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "console/cp437_glyphs.h"

namespace kovo {
namespace {

using Json = nlohmann::ordered_json;

std::string Cp437ToUtf8(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  char glyph[kMaxGlyphBytes];
  for (std::size_t i = 0; i < count; ++i) text.append(glyph, EncodeGlyph(bytes[i], GlyphEncoding::Utf8, glyph));
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

Json FieldJson(int number, const FieldView& field) {
  return Json{{"field", number},
              {"capacity", field.Capacity},
              {"length", field.Length()},
              {"value", Cp437ToUtf8(field.Text(), field.UsableLength())},
              {"cut", field.IsCut()},
              {"raw", Hex(field.LengthByte, 1 + field.Capacity)}};
}

Json SlotJson(const DirectoryEntry& entry, int number) {
  Json fields = Json::array();
  for (int index = 0; index < kFieldCount; ++index)
    fields.push_back(FieldJson(index + 1, entry.FieldAt(index)));
  return Json{{"slot", number}, {"used", entry.IsUsed()}, {"fields", fields}};
}

}  // namespace

std::string ImageJson(const DirectoryImage& image, const JsonListing& listing) {
  Json slots = Json::array();
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (listing.UsedOnly && !image.Slot(slot).IsUsed()) continue;
    slots.push_back(SlotJson(image.Slot(slot), slot));
  }
  Json document{{"file", listing.File},
                {"size", listing.Size},
                {"trailing_bytes", listing.Size > kImageSize ? listing.Size - kImageSize : 0},
                {"listing", listing.Listing},
                {"slots", slots}};
  if (listing.Changes != nullptr) {
    Json erased = Json::array();
    for (const Erasure& slot : listing.Changes->Erased) {
      Json entry = SlotJson(listing.Before->Slot(slot.Slot), slot.Slot);
      entry["empty_field"] = slot.EmptyField;
      erased.push_back(entry);
    }
    Json cut = Json::array();
    for (const FieldCut& field : listing.Changes->Cut) {
      cut.push_back(Json{{"slot", field.Slot}, {"field", field.Field}, {"length", field.Length},
                         {"capacity", field.Capacity}});
    }
    document["erased"] = erased;
    document["cut"] = cut;
  }
  // A file name need not be UTF-8; such bytes become U+FFFD rather than an error.
  return document.dump(2, ' ', false, Json::error_handler_t::replace);
}

}  // namespace kovo
