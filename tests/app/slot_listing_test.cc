#include "app/slot_listing.h"

#include <gtest/gtest.h>

#include "support/directory_builder.h"

namespace kovo {
namespace {

TEST(ListSlot, ShowsLengthsValuesAndEscapes) {
  DirectoryImage image{};
  testing::PutEntry(image, 7, {"Al\"pha\\", "\xE1\x01", "", "x", "y"});
  image.Slot(7).Field3.Length = 200;
  std::string twelve_zeros;
  for (int i = 0; i < 12; ++i) twelve_zeros += "\\x00";
  EXPECT_EQ(ListSlot(image.Slot(7), 7),
            "  7 used [7]\"Al\\x22pha\\x5C\" [2]\"\\xE1\\x01\" [200>12]\"" + twelve_zeros +
                "\" [1]\"x\" [1]\"y\"");
  EXPECT_EQ(ListSlot(image.Slot(1), 1), "  1 free [0]\"\" [0]\"\" [0]\"\" [0]\"\" [0]\"\"");
}

}  // namespace
}  // namespace kovo
