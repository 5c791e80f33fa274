// kovolist's preview of a run, its change summary, its command line and its
// JSON, against the real run.
#include <gtest/gtest.h>
#include <random>

#include "app/kovolist_options.h"
#include "app/run_driver.h"
#include "app/run_preview.h"
#include "app/slot_listing.h"
#include "directory/platform_file_system.h"
#include "support/directory_builder.h"
#include "support/temp_dir.h"
#ifdef KOVO_WITH_JSON
#include <nlohmann/json.hpp>

#include "app/slot_json.h"
#endif

namespace kovo {
namespace {

using testing::ImageBytes;

// Random slots of every kind a file may hold: used and free ones mixed,
// stale bytes, over-long lengths, bytes above 0x7F, equal keys.
DirectoryImage RandomImage(std::mt19937& random) {
  DirectoryImage image{};
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> percent(0, 99);
  const int used_share = percent(random);
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(&image.Slot(slot));
    if (percent(random) < 30) {
      for (std::size_t i = 0; i < kEntrySize; ++i) bytes[i] = static_cast<std::uint8_t>(byte(random));
    }
    if (percent(random) < used_share) {
      const char* names[] = {"alpha", "Alpha", "BETA", "\341ber", "10 Downing", "zeta"};
      testing::PutEntry(image, slot, {names[percent(random) % 6], "x"});
      if (percent(random) < 10) image.Slot(slot).Field3.Length = 200;
    } else if (percent(random) < 50) {
      image.Slot(slot).Field2.Length = 0;
    }
  }
  return image;
}

std::string Listing(const DirectoryImage& image) {
  std::string lines;
  for (int slot = 1; slot <= kSlotCount; ++slot) lines += ListSlot(image.Slot(slot), slot) + "\n";
  return lines;
}

TEST(RunPreview, ListsWhatTheRealRunLeavesAndThenSeesNoChange) {
  testing::TempDir dir;
  NoScreen no_screen;
  Console console(no_screen);
  PlatformFileSystem files;
  std::mt19937 random(20261206);
  const char* switches[] = {"Y", "N", "-h", "q", "YES"};
  for (int file = 0; file < 200; ++file) {
    const DirectoryImage before = RandomImage(random);
    const char* argument = switches[file % 5];
    SCOPED_TRACE(std::to_string(file) + " with " + argument);
    DirectoryImage preview{};
    PreviewRun(before, ClassifySwitch(std::string(argument)), preview);

    testing::WriteFileBytes(dir.File("kovo.fon"), ImageBytes(before));
    RunContext context{console, files};
    context.PhasePauseMs = 0;
    {
      const testing::ScopedWorkingDirectory cwd(dir.Path());
      ASSERT_EQ(RunMaintenance(context, std::string(argument)).ExitStatus, 0);
    }
    const DirectoryImage after = testing::ImageFromBytes(testing::ReadFileBytes(dir.File("kovo.fon")));
    ASSERT_EQ(Listing(preview), Listing(after));
    EXPECT_EQ(SummariseChanges(before, ClassifySwitch(std::string(argument))).Changes,
              ImageBytes(before) != ImageBytes(after));
    EXPECT_FALSE(SummariseChanges(after, ClassifySwitch(std::string(argument))).Changes);
  }
}

TEST(RunPreview, SummaryCountsWhatARunChanges) {
  struct Case {
    const char* name;
    std::function<void(DirectoryImage&)> fill;
    const char* argument;
    std::vector<std::string> lines;
    bool changes;
  };
  const Case cases[] = {
      {"packed and sorted already", [](DirectoryImage& i) {
         testing::PutEntry(i, 1, {"a", "x"});
         testing::PutEntry(i, 2, {"B", "x"});
       }, "Y", {}, false},
      {"a gap, sorted", [](DirectoryImage& i) {
         testing::PutEntry(i, 2, {"b", "x"});
         testing::PutEntry(i, 4, {"a", "x"});
       }, "Y", {"  2 free slots before the last entry drop out", "  1 entry moves to another slot"},
       true},
      {"a gap, packed only", [](DirectoryImage& i) {
         testing::PutEntry(i, 1, {"b", "x"});
         testing::PutEntry(i, 3, {"a", "x"});
       }, "N", {"  1 free slot before the last entry drops out", "  1 entry moves to another slot"},
       true},
      {"an over-long field and a stale byte", [](DirectoryImage& i) {
         testing::PutEntry(i, 1, {"a", "x"});
         i.Slot(1).Field4.Length = 31;
         i.Slot(9).Field5.Text[3] = 'z';
       }, "N", {"  1 field is cut to its capacity",
                "  stale bytes after the values or in free slots are cleared"}, true},
      {"a refused switch", [](DirectoryImage& i) { testing::PutEntry(i, 5, {"a", "x"}); }, "q", {},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DirectoryImage image{};
    c.fill(image);
    const ChangeSummary summary = SummariseChanges(image, ClassifySwitch(std::string(c.argument)));
    EXPECT_EQ(DescribeChanges(summary), c.lines);
    EXPECT_EQ(summary.Changes, c.changes);
  }
}

TEST(ParseListingOptions, FollowsTheUsualConventions) {
  struct Case {
    std::vector<std::string> arguments;
    bool accepted;
    ListingMode mode;
    std::string file;
  };
  const Case cases[] = {
      {{}, true, ListingMode::AsIs, "kovo.fon"},
      {{"other.fon"}, true, ListingMode::AsIs, "other.fon"},
      {{"--after", "Y", "--used", "--json", "x"}, true, ListingMode::After, "x"},
      {{"--check", "-h"}, true, ListingMode::Check, "kovo.fon"},
      {{"--", "--help"}, true, ListingMode::AsIs, "--help"},
      {{"-"}, true, ListingMode::AsIs, "-"},
      {{"--help", "--bogus"}, true, ListingMode::Help, ""},
      {{"--version"}, true, ListingMode::Version, ""},
      {{"--bogus"}, false, ListingMode::AsIs, ""},
      {{"-y"}, false, ListingMode::AsIs, ""},
      {{"--check"}, false, ListingMode::AsIs, ""},
      {{"--check", "Y", "--json"}, false, ListingMode::AsIs, ""},
      {{"--after", "Y", "--check", "N"}, false, ListingMode::AsIs, ""},
      {{"a", "b"}, false, ListingMode::AsIs, ""},
  };
  for (const Case& c : cases) {
    const ParsedOptions parsed = ParseListingOptions(c.arguments);
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    ASSERT_EQ(parsed.Options.has_value(), c.accepted) << parsed.Error;
    if (!c.accepted) {
      EXPECT_FALSE(parsed.Error.empty());
      continue;
    }
    EXPECT_EQ(parsed.Options->Mode, c.mode);
    if (!c.file.empty()) {
      EXPECT_EQ(parsed.Options->File, c.file);
    }
  }
}

#ifdef KOVO_WITH_JSON
TEST(ImageJson, ParsesBackToEveryByteOfEveryField) {
  std::mt19937 random(7);
  const DirectoryImage image = RandomImage(random);
  const nlohmann::json document =
      nlohmann::json::parse(ImageJson(image, {"kovo.fon", 19700, "as is", false}));
  ASSERT_EQ(document["slots"].size(), 100u);
  std::string bytes;
  for (const auto& slot : document["slots"]) {
    for (const auto& field : slot["fields"]) {
      const std::string hex = field["raw"];
      for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
      EXPECT_EQ(field["cut"], field["length"] > field["capacity"]);
    }
    EXPECT_EQ(slot["used"], image.Slot(slot["slot"]).IsUsed());
  }
  EXPECT_TRUE(bytes == ImageBytes(image));

  DirectoryImage named{};
  testing::PutEntry(named, 3, {"\xE1" "ber", "\x01"});
  const nlohmann::json used = nlohmann::json::parse(ImageJson(named, {"f", 0, "as is", true}));
  ASSERT_EQ(used["slots"].size(), 1u);
  EXPECT_EQ(used["slots"][0]["fields"][0]["value"], "\u00DF" "ber");
  EXPECT_EQ(used["slots"][0]["fields"][1]["value"], "\u263A");
}
#endif

}  // namespace
}  // namespace kovo
