// kovolist's listing, its summary of what a run changes, and its JSON.
#include <functional>
#include <gtest/gtest.h>

#include "kovolist/run_preview.h"
#include "kovolist/slot_listing.h"
#include "support/directory_builder.h"
#ifdef KOVO_WITH_JSON
#include <nlohmann/json.hpp>

#include "kovolist/slot_json.h"
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
  // At a UTF-8 terminal, the glyphs kovomaint's screen shows; '"' and '\' stay escaped.
  EXPECT_EQ(ListSlot(image.Slot(7), 7, TextShown::Glyphs),
            "  7 used [7]\"Al\\x22pha\\x5C\" [2]\"\u00DF\u263A\" [200>12]\"" + std::string(12, ' ') +
                "\" [1]\"x\" [1]\"y\"");
}

TEST(RunPreview, SummaryCountsWhatARunChanges) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, std::vector<std::string>>> entries;  // by slot
    std::function<void(DirectoryImage&)> then;
    const char* argument;
    std::vector<std::string> lines;
  };
  const auto nothing = [](DirectoryImage&) {};
  const Case cases[] = {
      {"a gap, sorted", {{2, {"b", "x"}}, {4, {"a", "x"}}}, nothing, "Y",
       {"  2 free slots before the last entry drop out", "  1 entry moves to another slot"}},
      {"a gap, packed only", {{1, {"b", "x"}}, {3, {"a", "x"}}}, nothing, "N",
       {"  1 free slot before the last entry drops out", "  1 entry moves to another slot"}},
      {"an over-long field and a stale byte right after a value", {{1, {"a", "x"}}},
       [](DirectoryImage& i) {
         i.Slot(1).Field4.Length = 31;
         i.Slot(1).Field1.Text[1] = 'z';
       },
       "N",
       {"  slot 1, field 4: length 31 is cut to 30",
        "  stale bytes after the values or in free slots are cleared"}},
      {"half-typed records, named with their text", {{3, {"Zed", "", "555-0000"}}, {4, {"", "\xE1"}}}, nothing, "Y",
       {"  slot 3 is erased, its field 2 being empty: [3]\"Zed\" [0]\"\" [8]\"555-0000\" [0]\"\" [0]\"\"",
        "  slot 4 is erased, its field 1 being empty: [0]\"\" [1]\"\\xE1\" [0]\"\" [0]\"\" [0]\"\""}},
      {"a stale byte in a free slot", {}, [](DirectoryImage& i) { i.Slot(9).Field5.Text[3] = 'z'; }, "Y",
       {"  stale bytes after the values or in free slots are cleared"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DirectoryImage image{};
    for (const auto& [slot, values] : c.entries) PutEntry(image, slot, values);
    c.then(image);
    const ChangeSummary summary = SummariseChanges(image, ClassifySwitch(std::string(c.argument)));
    EXPECT_EQ(DescribeChanges(summary, image, TextShown::Escaped), c.lines);
  }
}

#ifdef KOVO_WITH_JSON
// Every byte of every field, and after a run the slots it erases and the
// fields it cuts; a field exactly full is not cut.
TEST(ImageJson, ParsesBackToEveryByteOfEveryField) {
  DirectoryImage image = testing::ScatteredImage();
  PutEntry(image, 12, {"\xE1" "ber", "Sharp s", std::string(12, '9')});
  const ChangeSummary changes = SummariseChanges(image, SwitchOutcome::PackAndSort);
  const auto document = nlohmann::json::parse(ImageJson(image, {"f", 19708, "as is", false, &changes, &image}));
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
  EXPECT_EQ(document["slots"][11]["fields"][0]["value"], "\u00DF" "ber");
  EXPECT_EQ(document["trailing_bytes"], 8);
  auto erased = nlohmann::json::array({document["slots"][0], document["slots"][49], document["slots"][99]});
  erased[0]["empty_field"] = 2;
  erased[1]["empty_field"] = 1;
  erased[2]["empty_field"] = 1;
  EXPECT_EQ(document["erased"], erased);
  EXPECT_EQ(document["cut"], nlohmann::json::parse(R"([{"slot":20,"field":3,"length":200,"capacity":12}])"));
}
#endif

}  // namespace
}  // namespace kovo
