#include "app/command_line.h"

#include <gtest/gtest.h>

namespace kovo {
namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheConsoleRules) {
  struct Case {
    const char* line;
    Arguments arguments;
  };
  const Case cases[] = {
      {"kovomaint.exe Y", {"kovomaint.exe", "Y"}},
      {"  kovomaint.exe\t \x01Y\x1FN  ", {"kovomaint.exe", "Y", "N"}},
      {"k a\"b c\"d", {"k", "ab cd"}},
      {"k \"Y N\"", {"k", "Y N"}},
      {"k \"\"", {"k"}},
      {"k \"\" Y", {"k", "Y"}},
      {"k \"\"\"\"Y", {"k", "Y"}},
      {"k Y \"\"", {"k", "Y"}},
      {"k \" \" Y", {"k", " ", "Y"}},
      {"k \"unterminated stretch", {"k", "unterminated stretch"}},
      {"k a\"\"b", {"k", "ab"}},
      {"\"C:\\Program Files\\kovomaint.exe\" y", {"C:\\Program Files\\kovomaint.exe", "y"}},
      {"k \xE1\xFE", {"k", "\xE1\xFE"}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << c.line;
}

TEST(SplitCommandLine, CutsArgumentsAt255Bytes) {
  const Arguments arguments = SplitCommandLine("k " + std::string(300, 'x') + " Y");
  ASSERT_EQ(arguments.size(), 3u);
  EXPECT_EQ(arguments[1].size(), 255u);
  EXPECT_EQ(arguments[2], "Y");
}

}  // namespace
}  // namespace kovo
