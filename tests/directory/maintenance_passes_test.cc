#include "directory/maintenance_passes.h"

#include <gtest/gtest.h>

#include "support/directory_builder.h"

namespace kovo {
namespace {

using testing::ImageBytes;
using testing::PutEntry;
using testing::ValueOf;

// The scattered sample: used slots 3, 7, 12, 20, 41, 58, 99 among free ones
// with leftovers, stale bytes after values, a length of 200 in a 12-byte field.
TEST(PackEntries, UsedSlotsToTheFrontInOrderCutAndWithoutStaleBytes) {
  DirectoryImage work{};
  EXPECT_EQ(PackEntries(testing::ScatteredImage(), work), 7);
  DirectoryImage clean{};  // the same entries as written fresh, one after another
  int slot = 0;
  for (const auto& entry : testing::kScatteredEntries) PutEntry(clean, ++slot, entry.second);
  EXPECT_TRUE(ImageBytes(work) == ImageBytes(clean));

  DirectoryImage full{};
  for (slot = 1; slot <= kSlotCount; ++slot) PutEntry(full, slot, {"   ", " "});
  DirectoryImage packed{};
  EXPECT_EQ(PackEntries(full, packed), 100);  // spaces are text: only lengths decide
  EXPECT_TRUE(ImageBytes(packed) == ImageBytes(full));
}

// Sorts names packed in slots 1..n (second field: the packed position) and
// returns "name/position" in the sorted order; slot n + 1 must stay.
std::vector<std::string> Sorted(const std::vector<std::string>& names) {
  DirectoryImage work{};
  const int count = static_cast<int>(names.size());
  for (int i = 0; i < count; ++i) {
    PutEntry(work, i + 1, {names[static_cast<std::size_t>(i)], std::to_string(i + 1)});
  }
  PutEntry(work, count + 1, {"", "beyond"});
  SortEntries(work, count);
  std::vector<std::string> order;
  for (int slot = 1; slot <= count; ++slot)
    order.push_back(ValueOf(work.Slot(slot).Field1) + "/" + ValueOf(work.Slot(slot).Field2));
  EXPECT_EQ(ValueOf(work.Slot(count + 1).Field2), "beyond");
  return order;
}

TEST(SortEntries, AscendingByFoldedFirstFieldStableAndWholeSlots) {
  struct Case {
    std::vector<std::string> packed;
    std::vector<std::string> sorted;
  };
  std::vector<std::string> reversed;
  std::vector<std::string> ascending;
  for (int i = 0; i < kSlotCount - 1; ++i) {
    reversed.push_back("k" + std::to_string(198 - i));
    ascending.push_back("k" + std::to_string(100 + i) + "/" + std::to_string(99 - i));
  }
  const Case cases[] = {
      {{}, {}},
      {{"only"}, {"only/1"}},
      // Equal keys keep their packed order; a prefix comes first.
      {{"beta", "Alpha", "alpha", "ALPHA2"}, {"Alpha/2", "alpha/3", "ALPHA2/4", "beta/1"}},
      {{"x", "a", "A"}, {"a/2", "A/3", "x/1"}},
      // Digits and punctuation before letters; bytes above 0x7F after them,
      // unsigned and unfolded; 'z' folds to 'Z', before '[' and '_'.
      {{"\xE1" "ber", "zeta", "10", "-x", "Zeta", "\x84", "_", "[", "\xD0"},
       {"-x/4", "10/3", "zeta/2", "Zeta/5", "[/8", "_/7", "\x84/6", "\xD0/9", "\xE1" "ber/1"}},
      // Only 'a'-'z' fold: '{' and '`' stay above 'Z'; the first differing
      // byte decides before the length.
      {{"{", "`", "a", "@", "[", "B", "AZZZ"}, {"@/4", "a/3", "AZZZ/7", "B/6", "[/5", "`/2", "{/1"}},
      {reversed, ascending},  // every pass is needed
  };
  for (const Case& c : cases) EXPECT_EQ(Sorted(c.packed), c.sorted);
}

}  // namespace
}  // namespace kovo
