#include "directory/maintenance_passes.h"

#include <cstring>
#include <gtest/gtest.h>

#include "support/directory_builder.h"

namespace kovo {
namespace {

using testing::FirstFields;
using testing::ImageBytes;
using testing::PutEntry;
using testing::ScatteredImage;
using testing::ValueOf;

DirectoryImage Packed(const DirectoryImage& load, int* kept = nullptr) {
  DirectoryImage work{};
  const int count = PackEntries(load, work);
  if (kept != nullptr) *kept = count;
  return work;
}

TEST(PackEntries, MovesUsedSlotsToTheFrontInTheirOrder) {
  DirectoryImage load{};
  PutEntry(load, 1, {"one", "a"});
  PutEntry(load, 3, {"three", "b"});
  PutEntry(load, 100, {"hundred", "c"});
  int kept = 0;
  const DirectoryImage work = Packed(load, &kept);
  EXPECT_EQ(kept, 3);
  EXPECT_EQ(FirstFields(work, 3), (std::vector<std::string>{"one", "three", "hundred"}));
  const std::string tail = ImageBytes(work).substr(3 * kEntrySize);
  EXPECT_EQ(tail, std::string(97 * kEntrySize, '\0'));
}

TEST(PackEntries, OnlyTheFirstTwoLengthsDecideWhetherASlotIsUsed) {
  DirectoryImage load{};
  PutEntry(load, 1, {"named", "", "x", "x", "x"});    // no second field: free
  PutEntry(load, 2, {"", "second", "x", "x", "x"});   // no first field: free
  PutEntry(load, 3, {"   ", "  "});                   // spaces count as text
  load.Slot(4).Field3.Length = 5;                     // junk only in later fields
  int kept = 0;
  const DirectoryImage work = Packed(load, &kept);
  ASSERT_EQ(kept, 1);
  EXPECT_EQ(ValueOf(work.Slot(1).Field1), "   ");
}

TEST(PackEntries, CutsOverlongLengthsAndLeavesNoStaleBytes) {
  const DirectoryImage load = ScatteredImage();
  const DirectoryImage work = Packed(load);
  // Slot 3 ("beta") had stale 'X' and 'Y' after its values.
  const DirectoryEntry& beta = work.Slot(1);
  EXPECT_EQ(ValueOf(beta.Field1), "beta");
  for (std::size_t i = beta.Field1.Length; i < 60; ++i) ASSERT_EQ(beta.Field1.Text[i], 0) << i;
  for (std::size_t i = beta.Field5.Length; i < 30; ++i) ASSERT_EQ(beta.Field5.Text[i], 0) << i;
  // Slot 20 ("alpha") had a Field3 length byte of 200 over 12 bytes of text.
  const DirectoryEntry& alpha = work.Slot(4);
  EXPECT_EQ(ValueOf(alpha.Field1), "alpha");
  EXPECT_EQ(alpha.Field3.Length, 12);
  EXPECT_EQ(ValueOf(alpha.Field3), "555-0103-EXT");
}

TEST(PackEntries, AllFreeImageStaysZero) {
  DirectoryImage load{};
  std::memset(load.Bytes(), 0, kImageSize);
  load.Slot(5).Field1.Length = 9;  // a name without a second field
  int kept = -1;
  const DirectoryImage work = Packed(load, &kept);
  EXPECT_EQ(kept, 0);
  EXPECT_EQ(ImageBytes(work), std::string(kImageSize, '\0'));
}

TEST(PackEntries, FullImageKeepsEverySlot) {
  DirectoryImage load{};
  for (int slot = 1; slot <= kSlotCount; ++slot) PutEntry(load, slot, {std::to_string(slot), "x"});
  int kept = 0;
  const DirectoryImage work = Packed(load, &kept);
  EXPECT_EQ(kept, 100);
  EXPECT_EQ(ImageBytes(work), ImageBytes(load));
}

std::vector<std::string> SortedFirstFields(const std::vector<std::string>& names) {
  DirectoryImage work{};
  for (std::size_t i = 0; i < names.size(); ++i) {
    PutEntry(work, static_cast<int>(i) + 1, {names[i], "x" + std::to_string(i)});
  }
  SortEntries(work, static_cast<int>(names.size()));
  return FirstFields(work, static_cast<int>(names.size()));
}

TEST(SortEntries, OrdersByUpperCasedFirstField) {
  struct Case {
    std::vector<std::string> packed;
    std::vector<std::string> sorted;
  };
  const Case cases[] = {
      {{}, {}},
      {{"only"}, {"only"}},
      // Equal keys keep their packed order; a prefix comes first.
      {{"beta", "Alpha", "alpha", "ALPHA2"}, {"Alpha", "alpha", "ALPHA2", "beta"}},
      // Digits and punctuation before letters; bytes above 0x7F after them.
      {{"\xE1" "ber", "zeta", "10", "-x", "Zeta"}, {"-x", "10", "zeta", "Zeta", "\xE1" "ber"}},
      // Only ASCII letters are folded: 0x84 and 0x8E stay apart.
      {{"\x8E", "\x84", "a"}, {"a", "\x84", "\x8E"}},
      // 'z' folds to 'Z' (0x5A), which orders before '[' and '_'.
      {{"[", "z", "_"}, {"z", "[", "_"}},
      {{"c", "b", "a", "c", "b", "a"}, {"a", "a", "b", "b", "c", "c"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SortedFirstFields(c.packed), c.sorted);
}

TEST(SortEntries, IsStableAcrossWholeSlots) {
  DirectoryImage work{};
  PutEntry(work, 1, {"same", "first"});
  PutEntry(work, 2, {"SAME", "second"});
  PutEntry(work, 3, {"Same", "third"});
  PutEntry(work, 4, {"a", "fourth"});
  SortEntries(work, 4);
  EXPECT_EQ(ValueOf(work.Slot(1).Field2), "fourth");
  EXPECT_EQ(ValueOf(work.Slot(2).Field2), "first");
  EXPECT_EQ(ValueOf(work.Slot(3).Field2), "second");
  EXPECT_EQ(ValueOf(work.Slot(4).Field2), "third");
}

TEST(SortEntries, LeavesSlotsAfterTheKeptCountAlone) {
  DirectoryImage work{};
  PutEntry(work, 1, {"b", "x"});
  PutEntry(work, 2, {"a", "x"});
  PutEntry(work, 3, {"0", "beyond"});
  SortEntries(work, 2);
  EXPECT_EQ(FirstFields(work, 3), (std::vector<std::string>{"a", "b", "0"}));
}

TEST(SortEntries, ReverseOrderedFullImageComesOutAscending) {
  DirectoryImage work{};
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    char name[8];
    std::snprintf(name, sizeof name, "k%03d", kSlotCount - slot);
    PutEntry(work, slot, {name, "x"});
  }
  SortEntries(work, kSlotCount);
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    char name[8];
    std::snprintf(name, sizeof name, "k%03d", slot - 1);
    ASSERT_EQ(ValueOf(work.Slot(slot).Field1), name);
  }
}

TEST(SwapEntries, ExchangesWholeSlotsIncludingBytesAfterValues) {
  DirectoryImage image = ScatteredImage();
  const std::string before = ImageBytes(image);
  SwapEntries(image, 3, 7);
  const std::string after = ImageBytes(image);
  EXPECT_EQ(after.substr(2 * kEntrySize, kEntrySize), before.substr(6 * kEntrySize, kEntrySize));
  EXPECT_EQ(after.substr(6 * kEntrySize, kEntrySize), before.substr(2 * kEntrySize, kEntrySize));
  SwapEntries(image, 3, 7);
  EXPECT_EQ(ImageBytes(image), before);
}

SortKey KeyOf(const std::string& text) {
  TextField<60> field{};
  field.Length = static_cast<std::uint8_t>(text.size());
  std::memcpy(field.Text, text.data(), text.size());
  return UpperKey(field);
}

TEST(UpperKey, RaisesOnlyAsciiLetters) {
  const SortKey key = KeyOf("az AZ 09 {`@[ \xE1\xE4\xFF");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(key.Text), key.Length),
            "AZ AZ 09 {`@[ \xE1\xE4\xFF");
}

TEST(UpperKey, CutsAnOverlongLengthToTheField) {
  TextField<60> field{};
  std::memset(field.Text, 'q', 60);
  field.Length = 255;
  const SortKey key = UpperKey(field);
  EXPECT_EQ(key.Length, 60);
  EXPECT_EQ(key.Text[59], 'Q');
}

TEST(CompareKeys, UnsignedBytesThenLength) {
  struct Case {
    std::string left, right;
    int sign;
  };
  const Case cases[] = {
      {"", "", 0},         {"A", "", 1},           {"", "A", -1},
      {"ABC", "ABD", -1},  {"ABC", "AB", 1},       {"AB", "ABC", -1},
      {"ABC", "ABC", 0},   {"\x7F", "\x80", -1},   {"\xFF", "Z", 1},
      {"B", "AZZZ", 1},
  };
  for (const Case& c : cases) {
    const int result = CompareKeys(KeyOf(c.left), KeyOf(c.right));
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << '"' << c.left << "\" vs \"" << c.right << '"';
  }
}

}  // namespace
}  // namespace kovo
