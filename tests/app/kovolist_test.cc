// kovolist's listing, its summary of what a run changes, and its JSON.
#include <functional>
#include <gtest/gtest.h>

#include "app/run_preview.h"
#include "app/slot_listing.h"
#include "support/directory_builder.h"
#ifdef KOVO_WITH_JSON
#include <nlohmann/json.hpp>

#include "app/slot_json.h"
#endif

namespace kovo {
namespace {

using testing::ImageBytes;
using testing::PutEntry;

TEST(ListSlot, ShowsLengthsValuesAndEscapes) {
  DirectoryImage image{};
  PutEntry(image, 7, {"Al\"pha\\", "\xE1\x01", "", "x", "y"});
  image.Slot(7).Field3.Length = 200;
  std::string zeros;
  for (int i = 0; i < 12; ++i) zeros += "\\x00";
  EXPECT_EQ(ListSlot(image.Slot(7), 7), "  7 used [7]\"Al\\x22pha\\x5C\" [2]\"\\xE1\\x01\" [200>12]\"" +
                                            zeros + "\" [1]\"x\" [1]\"y\"");
  EXPECT_EQ(ListSlot(image.Slot(1), 1), "  1 free [0]\"\" [0]\"\" [0]\"\" [0]\"\" [0]\"\"");
}

TEST(RunPreview, SummaryCountsWhatARunChanges) {
  struct Case {
    const char* name;
    std::function<void(DirectoryImage&)> fill;
    const char* argument;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"packed and sorted already",
       [](DirectoryImage& i) { PutEntry(i, 1, {"a", "x"}), PutEntry(i, 2, {"B", "x"}); }, "Y", {}},
      {"a gap, sorted", [](DirectoryImage& i) { PutEntry(i, 2, {"b", "x"}), PutEntry(i, 4, {"a", "x"}); },
       "Y", {"  2 free slots before the last entry drop out", "  1 entry moves to another slot"}},
      {"a gap, packed only",
       [](DirectoryImage& i) { PutEntry(i, 1, {"b", "x"}), PutEntry(i, 3, {"a", "x"}); }, "N",
       {"  1 free slot before the last entry drops out", "  1 entry moves to another slot"}},
      {"an over-long field and a stale byte right after a value",
       [](DirectoryImage& i) {
         PutEntry(i, 1, {"a", "x"});
         i.Slot(1).Field4.Length = 31;
         i.Slot(1).Field1.Text[1] = 'z';
       },
       "N",
       {"  1 field is cut to its capacity", "  stale bytes after the values or in free slots are cleared"}},
      {"a stale byte in a free slot", [](DirectoryImage& i) { i.Slot(9).Field5.Text[3] = 'z'; }, "Y",
       {"  stale bytes after the values or in free slots are cleared"}},
      {"a refused switch", [](DirectoryImage& i) { PutEntry(i, 5, {"a", "x"}); }, "q", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DirectoryImage image{};
    c.fill(image);
    const ChangeSummary summary = SummariseChanges(image, ClassifySwitch(std::string(c.argument)));
    EXPECT_EQ(DescribeChanges(summary), c.lines);
    EXPECT_EQ(summary.Changes, !c.lines.empty());
  }
}

#ifdef KOVO_WITH_JSON
TEST(ImageJson, ParsesBackToEveryByteOfEveryField) {
  std::mt19937 random(7);
  const DirectoryImage image = testing::RandomImage(random);
  const auto document = nlohmann::json::parse(ImageJson(image, {"kovo.fon", 19700, "as is", false}));
  ASSERT_EQ(document["slots"].size(), 100u);
  std::string bytes;
  for (const auto& slot : document["slots"]) {
    for (const auto& field : slot["fields"]) {
      const std::string hex = field["raw"];
      for (std::size_t i = 0; i < hex.size(); i += 2) bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
      EXPECT_EQ(field["cut"], field["length"] > field["capacity"]);
    }
    EXPECT_EQ(slot["used"], image.Slot(slot["slot"]).IsUsed());
  }
  EXPECT_TRUE(bytes == ImageBytes(image));

  DirectoryImage named{};
  PutEntry(named, 3, {"\xE1" "ber", "\x01", std::string(12, '9')});  // a field full, not cut
  const auto used = nlohmann::json::parse(ImageJson(named, {"f", 0, "as is", true}));
  ASSERT_EQ(used["slots"].size(), 1u);
  EXPECT_EQ(used["slots"][0]["fields"][0]["value"], "\u00DF" "ber");
  EXPECT_EQ(used["slots"][0]["fields"][1]["value"], "\u263A");
  EXPECT_EQ(used["slots"][0]["fields"][2]["cut"], false);
}
#endif

}  // namespace
}  // namespace kovo
