// The command line: the Windows splitting rules, the first argument, and
// what each switch asks for.
#include "app/win32_command_line.h"

#include <gtest/gtest.h>

#include "app/switch_table.h"

namespace kovo {
namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheConsoleRules) {
  const std::pair<std::string, Arguments> cases[] = {
      {"kovomaint.exe Y", {"kovomaint.exe", "Y"}},
      {"  kovomaint.exe\t \x01Y\x1FN  ", {"kovomaint.exe", "Y", "N"}},
      {"k a\"b c\"d", {"k", "ab cd"}},
      {"k \"\" Y", {"k", "Y"}},
      {"k \"\"\"\"Y", {"k", "Y"}},
      {"k \" \" Y", {"k", " ", "Y"}},
      {"k \"unterminated stretch", {"k", "unterminated stretch"}},
      {"\"C:\\Program Files\\kovomaint.exe\" y", {"C:\\Program Files\\kovomaint.exe", "y"}},
      {"k \xE1\xFE", {"k", "\xE1\xFE"}},
      {"", {}},
  };
  for (const auto& [line, arguments] : cases) EXPECT_EQ(SplitCommandLine(line), arguments) << line;
}

TEST(SwitchTable, TheFirstNonEmptyArgumentDecides) {
  using S = SwitchOutcome;
  const std::pair<Arguments, SwitchOutcome> cases[] = {
      {{}, S::InvalidParameters},       {{"", ""}, S::InvalidParameters},
      {{"YES"}, S::InvalidParameters},  {{"Y N"}, S::InvalidParameters},
      {{"ye"}, S::PackOnly},            {{"Y", "N"}, S::PackAndSort},
      {{"N", "Y"}, S::PackOnly},        {{"", "y"}, S::PackAndSort},
      {{"-h"}, S::PackOnly},            {{"nn"}, S::PackOnly},
      {{"\xE1"}, S::PackOnly},          {{"Y "}, S::PackOnly},
      {{std::string(400, 'x')}, S::InvalidParameters},
      {{"A"}, S::IncorrectSwitch},      {{"Z"}, S::IncorrectSwitch},
      {{"a"}, S::IncorrectSwitch},      {{"z"}, S::IncorrectSwitch},
      {{"@"}, S::PackOnly},             {{"["}, S::PackOnly},
      {{"`"}, S::PackOnly},             {{"{"}, S::PackOnly},
  };
  for (const auto& [arguments, outcome] : cases) {
    std::vector<const char*> argv{"kovomaint"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    EXPECT_EQ(ClassifySwitch(FirstArgument(static_cast<int>(argv.size()), argv.data())), outcome)
        << ::testing::PrintToString(arguments);
  }
}

}  // namespace
}  // namespace kovo
