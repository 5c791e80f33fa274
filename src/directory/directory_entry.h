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

// The five fields as a slot lays them out, end to end: where each one's
// length byte stands and how many text bytes follow it.
struct FieldLayout {
  std::size_t Offset;
  std::size_t Capacity;
};
inline constexpr int kFieldCount = 5;
inline constexpr FieldLayout kFields[kFieldCount] = {{0, 60}, {61, 60}, {122, 12}, {135, 30}, {166, 30}};

// One field of a slot, read through the layout.
struct FieldView {
  const std::uint8_t* LengthByte;
  std::size_t Capacity;
  std::uint8_t Length() const { return *LengthByte; }
  const std::uint8_t* Text() const { return LengthByte + 1; }
  std::size_t UsableLength() const { return std::min<std::size_t>(Length(), Capacity); }
  bool IsCut() const { return Length() > Capacity; }
};

struct DirectoryEntry {
  TextField<kFields[0].Capacity> Field1;
  TextField<kFields[1].Capacity> Field2;
  TextField<kFields[2].Capacity> Field3;
  TextField<kFields[3].Capacity> Field4;
  TextField<kFields[4].Capacity> Field5;

  // Only the lengths of the first two fields decide; the rest may hold anything.
  bool IsUsed() const { return Field1.Length != 0 && Field2.Length != 0; }
  // The field at index 0..4 of kFields.
  FieldView FieldAt(int index) const {
    return FieldView{Bytes() + kFields[index].Offset, kFields[index].Capacity};
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
static_assert(offsetof(DirectoryEntry, Field2) == kFields[1].Offset &&
              offsetof(DirectoryEntry, Field3) == kFields[2].Offset &&
              offsetof(DirectoryEntry, Field4) == kFields[3].Offset &&
              offsetof(DirectoryEntry, Field5) == kFields[4].Offset,
              "the fields lie where the layout says");
static_assert(sizeof(DirectoryImage) == kImageSize, "image must match the file");

}  // namespace kovo
