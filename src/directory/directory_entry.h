// The directory file's record layout: 100 slots of 197 bytes, no header.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace kovo {

inline constexpr int kSlotCount = 100;
inline constexpr std::size_t kEntrySize = 197;
inline constexpr std::size_t kImageSize = kSlotCount * kEntrySize;  // 19,700
inline constexpr char kDirectoryFileName[] = "kovo.fon";

// One length byte followed by Capacity bytes of text. Bytes past Length are
// not part of the value; a Length above Capacity is accepted on reading and
// cut wherever the field is copied.
template <std::size_t Capacity>
struct TextField {
  static constexpr std::size_t kCapacity = Capacity;
  std::uint8_t Length;
  std::uint8_t Text[Capacity];

  std::size_t UsableLength() const { return std::min<std::size_t>(Length, Capacity); }
};

struct DirectoryEntry {
  TextField<60> Field1;
  TextField<60> Field2;
  TextField<12> Field3;
  TextField<30> Field4;
  TextField<30> Field5;

  // Only the lengths of the first two fields decide; the rest may hold anything.
  bool IsUsed() const { return Field1.Length != 0 && Field2.Length != 0; }
};

// Slots 1..100 in file order: the image and the file are byte-for-byte the same.
struct DirectoryImage {
  DirectoryEntry Slots[kSlotCount];

  DirectoryEntry& Slot(int number) { return Slots[number - 1]; }
  const DirectoryEntry& Slot(int number) const { return Slots[number - 1]; }

  unsigned char* Bytes() { return reinterpret_cast<unsigned char*>(this); }
  const unsigned char* Bytes() const { return reinterpret_cast<const unsigned char*>(this); }
};

static_assert(sizeof(DirectoryEntry) == kEntrySize, "slot layout must be packed");
static_assert(alignof(DirectoryEntry) == 1, "slots are laid end to end");
static_assert(offsetof(DirectoryEntry, Field2) == 61);
static_assert(offsetof(DirectoryEntry, Field3) == 122);
static_assert(offsetof(DirectoryEntry, Field4) == 135);
static_assert(offsetof(DirectoryEntry, Field5) == 166);
static_assert(sizeof(DirectoryImage) == kImageSize, "image must match the file");

}  // namespace kovo
