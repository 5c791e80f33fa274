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
  std::uint8_t Length;
  std::uint8_t Text[Capacity];

  std::size_t UsableLength() const { return std::min<std::size_t>(Length, Capacity); }
};

inline constexpr int kFieldCount = 5;

// One field of a slot, whatever its capacity.
struct FieldView {
  template <std::size_t N>
  FieldView(const TextField<N>& field) : LengthByte(&field.Length), Capacity(N) {}
  const std::uint8_t* LengthByte;
  std::size_t Capacity;
  std::uint8_t Length() const { return *LengthByte; }
  const std::uint8_t* Text() const { return LengthByte + 1; }
  std::size_t UsableLength() const { return std::min<std::size_t>(Length(), Capacity); }
  bool IsCut() const { return Length() > Capacity; }
};

// The slot's layout: five fields end to end.
struct DirectoryEntry {
  TextField<60> Field1;
  TextField<60> Field2;
  TextField<12> Field3;
  TextField<30> Field4;
  TextField<30> Field5;

  // Only the lengths of the first two fields decide; the rest may hold anything.
  bool IsUsed() const { return Field1.Length != 0 && Field2.Length != 0; }
  // Field1 at index 0, ..., Field5 at index 4.
  FieldView FieldAt(int index) const {
    const FieldView fields[kFieldCount] = {Field1, Field2, Field3, Field4, Field5};
    return fields[index];
  }
  std::uint8_t* Bytes() { return reinterpret_cast<std::uint8_t*>(this); }
  const std::uint8_t* Bytes() const { return reinterpret_cast<const std::uint8_t*>(this); }
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
static_assert(sizeof(DirectoryImage) == kImageSize, "image must match the file");

}  // namespace kovo
