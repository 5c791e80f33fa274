#include "app/fatal_report.h"

#include <gtest/gtest.h>
#include <set>

namespace kovo {
namespace {

TEST(FatalReportText, KindStepAndMessageWithItsFullStop) {
  struct Case {
    FatalFailure failure;
    const char* report;
  };
  const Case cases[] = {
      {{FatalKind::InOutError, FatalStep::Reopen, 5}, "00405C31.\r\nFile access denied."},
      {{FatalKind::InOutError, FatalStep::Write, 101}, "00405C5E.\r\nDisk full."},
      {{FatalKind::InOutError, FatalStep::Journal, 112}, "00405C48.\r\nI/O error 112."},
      {kOutOfMemory, "00402A18.\r\nOut of memory."},
  };
  for (const Case& c : cases) {
    const char* kind = c.failure.Kind == FatalKind::OutOfMemory ? "EOutOfMemory" : "EInOutError";
    EXPECT_EQ(FatalReportText(c.failure, "km"),
              std::string("Exception ") + kind + " in module km at " + c.report);
  }
  const std::pair<int, const char*> messages[] = {
      {2, "File not found"},      {3, "Invalid filename"},         {4, "Too many open files"},
      {5, "File access denied"},  {100, "Read beyond end of file"}, {101, "Disk full"},
      {106, "Invalid numeric input"}, {32, "I/O error 32"},          {0, "I/O error 0"},
  };
  for (const auto& [code, message] : messages) EXPECT_EQ(InOutErrorMessage(code), message);
}

TEST(FatalReportText, EachStepHasItsOwnLocationWhateverTheCode) {
  std::set<std::string> locations;
  for (const FatalStep step : {FatalStep::TakeImages, FatalStep::Recover, FatalStep::Reopen,
                               FatalStep::Journal, FatalStep::Write, FatalStep::Sync,
                               FatalStep::Close}) {
    const std::string one = FatalReportText({FatalKind::InOutError, step, 2}, "m");
    const std::string other = FatalReportText({FatalKind::InOutError, step, 112}, "m");
    EXPECT_EQ(one.substr(0, 45), other.substr(0, 45));
    locations.insert(one.substr(0, 45));
  }
  EXPECT_EQ(locations.size(), 7u);
}

}  // namespace
}  // namespace kovo
