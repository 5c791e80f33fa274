#include "app/fatal_report.h"

#include <gtest/gtest.h>

namespace kovo {
namespace {

TEST(InOutErrorMessage, NamesKnownCodesAndNumbersTheRest) {
  struct Case {
    int code;
    const char* message;
  };
  const Case cases[] = {
      {2, "File not found"},     {3, "Invalid filename"},        {4, "Too many open files"},
      {5, "File access denied"}, {100, "Read beyond end of file"}, {101, "Disk full"},
      {106, "Invalid numeric input"}, {32, "I/O error 32"},     {112, "I/O error 112"},
      {1117, "I/O error 1117"},  {0, "I/O error 0"},
  };
  for (const Case& c : cases) EXPECT_EQ(InOutErrorMessage(c.code), c.message);
}

TEST(FatalReportText, FirstLineThenMessageWithItsFullStop) {
  EXPECT_EQ(FatalReportText({FatalKind::InOutError, FatalStep::Reopen, 5}, "kovomaint"),
            "Exception EInOutError in module kovomaint at 00405C31.\r\nFile access denied.");
  EXPECT_EQ(FatalReportText({FatalKind::InOutError, FatalStep::Write, 101}, "km"),
            "Exception EInOutError in module km at 00405C5E.\r\nDisk full.");
  EXPECT_EQ(FatalReportText({FatalKind::OutOfMemory, FatalStep::TakeImages, 0}, "kovomaint"),
            "Exception EOutOfMemory in module kovomaint at 00402A18.\r\nOut of memory.");
}

TEST(FatalReportText, EachStepHasItsOwnStableLocation) {
  const FatalStep steps[] = {FatalStep::TakeImages, FatalStep::Reopen, FatalStep::Write,
                             FatalStep::Sync, FatalStep::Close};
  std::vector<std::string> locations;
  for (const FatalStep step : steps) {
    const std::string report = FatalReportText({FatalKind::InOutError, step, 2}, "m");
    const std::string again = FatalReportText({FatalKind::InOutError, step, 112}, "m");
    const std::string location = report.substr(report.find(" at ") + 4, 8);
    EXPECT_EQ(again.substr(again.find(" at ") + 4, 8), location);
    EXPECT_EQ(location.find_first_not_of("0123456789ABCDEF"), std::string::npos) << location;
    for (const std::string& other : locations) EXPECT_NE(other, location);
    locations.push_back(location);
  }
}

}  // namespace
}  // namespace kovo
