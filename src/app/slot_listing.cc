#include "app/slot_listing.h"

#include <cstdio>

namespace kovo {
namespace {

void AppendEscaped(std::string& out, std::uint8_t byte) {
  if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
    out += static_cast<char>(byte);
    return;
  }
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\x%02X", byte);
  out += escape;
}

void AppendField(std::string& out, const FieldView& field) {
  out += " [" + std::to_string(field.Length());
  if (field.IsCut()) out += ">" + std::to_string(field.Capacity);
  out += "]\"";
  for (std::size_t i = 0; i < field.UsableLength(); ++i) AppendEscaped(out, field.Text()[i]);
  out += '"';
}

}  // namespace

std::string ListSlot(const DirectoryEntry& entry, int number) {
  char head[16];
  std::snprintf(head, sizeof head, "%3d %s", number, entry.IsUsed() ? "used" : "free");
  std::string line = head;
  for (int index = 0; index < kFieldCount; ++index) AppendField(line, entry.FieldAt(index));
  return line;
}

}  // namespace kovo
