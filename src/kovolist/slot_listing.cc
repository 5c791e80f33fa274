#include "kovolist/slot_listing.h"

#include <cstdio>

#include "console/cp437_glyphs.h"

namespace kovo {
namespace {

void AppendByte(std::string& out, std::uint8_t byte, TextShown shown) {
  if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
    out += static_cast<char>(byte);
    return;
  }
  char text[kMaxGlyphBytes + 2];
  if (shown == TextShown::Glyphs && byte != '"' && byte != '\\') {
    out.append(text, EncodeGlyph(byte, GlyphEncoding::Utf8, text));
    return;
  }
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  out += text;
}

void AppendField(std::string& out, const FieldView& field, TextShown shown) {
  out += "[" + std::to_string(field.Length());
  if (field.IsCut()) out += ">" + std::to_string(field.Capacity);
  out += "]\"";
  for (std::size_t i = 0; i < field.UsableLength(); ++i) AppendByte(out, field.Text()[i], shown);
  out += '"';
}

}  // namespace

std::string ListFields(const DirectoryEntry& entry, TextShown shown) {
  std::string fields;
  for (int index = 0; index < kFieldCount; ++index) {
    if (index > 0) fields += ' ';
    AppendField(fields, entry.FieldAt(index), shown);
  }
  return fields;
}

std::string ListSlot(const DirectoryEntry& entry, int number, TextShown shown) {
  char head[16];
  std::snprintf(head, sizeof head, "%3d %s ", number, entry.IsUsed() ? "used" : "free");
  return head + ListFields(entry, shown);
}

}  // namespace kovo
