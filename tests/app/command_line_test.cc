// The command line: the Windows splitting rules, the first argument, and
// what each switch asks for.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include "app/switch_table.h"

namespace kovo {
namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheConsoleRulesAndCutsAt255Bytes) {
  const std::pair<std::string, Arguments> cases[] = {
      {"kovomaint.exe Y", {"kovomaint.exe", "Y"}},
      {"  kovomaint.exe\t \x01Y\x1FN  ", {"kovomaint.exe", "Y", "N"}},
      {"k a\"b c\"d", {"k", "ab cd"}},
      {"k \"\" Y", {"k", "Y"}},
      {"k \"\"\"\"Y", {"k", "Y"}},
      {"k Y \"\"", {"k", "Y"}},
      {"k \" \" Y", {"k", " ", "Y"}},
      {"k \"unterminated stretch", {"k", "unterminated stretch"}},
      {"\"C:\\Program Files\\kovomaint.exe\" y", {"C:\\Program Files\\kovomaint.exe", "y"}},
      {"k \xE1\xFE", {"k", "\xE1\xFE"}},
      {"", {}},
      {"k " + std::string(300, 'x') + " Y", {"k", std::string(255, 'x'), "Y"}},
  };
  for (const auto& [line, arguments] : cases) EXPECT_EQ(SplitCommandLine(line), arguments) << line;
}

TEST(SwitchTable, TheFirstNonEmptyArgumentCutTo255BytesDecides) {
  using S = SwitchOutcome;
  const std::pair<Arguments, SwitchOutcome> cases[] = {
      {{}, S::InvalidParameters},       {{"", ""}, S::InvalidParameters},
      {{"YES"}, S::InvalidParameters},  {{"Y N"}, S::InvalidParameters},
      {{"ye"}, S::PackOnly},            {{"Y", "N"}, S::PackAndSort},
      {{"N", "Y"}, S::PackOnly},        {{"", "y"}, S::PackAndSort},
      {{"-h"}, S::PackOnly},            {{"nn"}, S::PackOnly},
      {{"1"}, S::PackOnly},             {{" "}, S::PackOnly},
      {{"\xE1"}, S::PackOnly},          {{"Y "}, S::PackOnly},
      {{std::string(400, 'x')}, S::InvalidParameters},
  };
  for (const auto& [arguments, outcome] : cases) {
    std::vector<const char*> argv{"kovomaint"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    const auto first = FirstArgument(static_cast<int>(argv.size()), argv.data());
    EXPECT_LE(first.value_or("").size(), 255u);
    EXPECT_EQ(ClassifySwitch(first), outcome) << ::testing::PrintToString(arguments);
  }
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    for (const char byte : {letter, static_cast<char>(letter + 32)}) {
      const S expected = letter == 'Y' ? S::PackAndSort : letter == 'N' ? S::PackOnly : S::IncorrectSwitch;
      EXPECT_EQ(ClassifySwitch(std::string(1, byte)), expected) << byte;
    }
  }
}

}  // namespace
}  // namespace kovo
