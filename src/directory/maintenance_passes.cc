#include "directory/maintenance_passes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kovo {
namespace {

// The value cut to its capacity; nothing else is written.
template <std::size_t Capacity>
void CopyField(const TextField<Capacity>& from, TextField<Capacity>& to) {
  to.Length = static_cast<std::uint8_t>(from.UsableLength());
  std::memcpy(to.Text, from.Text, to.Length);
}

void CopyEntry(const DirectoryEntry& from, DirectoryEntry& to) {
  CopyField(from.Field1, to.Field1);
  CopyField(from.Field2, to.Field2);
  CopyField(from.Field3, to.Field3);
  CopyField(from.Field4, to.Field4);
  CopyField(from.Field5, to.Field5);
}

// Exchanges two whole slots (1-based).
void SwapEntries(DirectoryImage& image, int first, int second) {
  DirectoryEntry temporary;
  std::memcpy(&temporary, &image.Slot(first), kEntrySize);
  std::memcpy(&image.Slot(first), &image.Slot(second), kEntrySize);
  std::memcpy(&image.Slot(second), &temporary, kEntrySize);
}

// A sort key is laid out as the first field it comes from.
using SortKey = decltype(DirectoryEntry::Field1);

// Field1's value with 'a'..'z' raised to 'A'..'Z'; no other byte changes.
SortKey UpperKey(const SortKey& field) {
  SortKey key{};
  key.Length = static_cast<std::uint8_t>(field.UsableLength());
  for (std::size_t i = 0; i < key.Length; ++i) {
    const std::uint8_t byte = field.Text[i];
    key.Text[i] = (byte >= 'a' && byte <= 'z') ? static_cast<std::uint8_t>(byte - 0x20) : byte;
  }
  return key;
}

// Unsigned byte order; a prefix orders before the longer key. Negative,
// zero or positive like memcmp.
int CompareKeys(const SortKey& left, const SortKey& right) {
  const std::size_t common = std::min(left.Length, right.Length);
  for (std::size_t i = 0; i < common; ++i) {
    if (left.Text[i] != right.Text[i]) return left.Text[i] < right.Text[i] ? -1 : 1;
  }
  return static_cast<int>(left.Length) - static_cast<int>(right.Length);
}

bool OrdersAfter(const DirectoryEntry& first, const DirectoryEntry& second) {
  return CompareKeys(UpperKey(first.Field1), UpperKey(second.Field1)) > 0;
}

}  // namespace

int PackEntries(const DirectoryImage& load, DirectoryImage& work) {
  int kept = 0;
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (!load.Slot(slot).IsUsed()) continue;
    ++kept;
    CopyEntry(load.Slot(slot), work.Slot(kept));
  }
  return kept;
}

void SortEntries(DirectoryImage& work, int kept_count) {
  for (int pass = 0; pass < kept_count; ++pass) {
    for (int j = kept_count; j >= 2; --j) {
      if (OrdersAfter(work.Slot(j - 1), work.Slot(j))) SwapEntries(work, j - 1, j);
    }
  }
}

}  // namespace kovo
