#include "app/switch_table.h"

#include <gtest/gtest.h>
#include <vector>

namespace kovo {
namespace {

SwitchOutcome Classify(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "kovomaint");
  return ClassifySwitch(FirstArgument(static_cast<int>(arguments.size()), arguments.data()));
}

TEST(SwitchTable, EverySingleLetter) {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    for (const char byte : {letter, static_cast<char>(letter + 32)}) {
      const std::string argument(1, byte);
      SwitchOutcome expected = SwitchOutcome::IncorrectSwitch;
      if (letter == 'Y') expected = SwitchOutcome::PackAndSort;
      if (letter == 'N') expected = SwitchOutcome::PackOnly;
      EXPECT_EQ(Classify({argument.c_str()}), expected) << argument;
    }
  }
}

TEST(SwitchTable, OtherArguments) {
  struct Case {
    std::vector<const char*> arguments;
    SwitchOutcome outcome;
  };
  const Case cases[] = {
      {{}, SwitchOutcome::InvalidParameters},
      {{""}, SwitchOutcome::InvalidParameters},
      {{"", ""}, SwitchOutcome::InvalidParameters},
      {{"YES"}, SwitchOutcome::InvalidParameters},
      {{"Y N"}, SwitchOutcome::InvalidParameters},
      {{"ye"}, SwitchOutcome::PackOnly},
      {{"Y", "N"}, SwitchOutcome::PackAndSort},
      {{"N", "Y"}, SwitchOutcome::PackOnly},
      {{"", "Y"}, SwitchOutcome::PackAndSort},
      {{"-y"}, SwitchOutcome::PackOnly},
      {{"-h"}, SwitchOutcome::PackOnly},
      {{"YN"}, SwitchOutcome::PackOnly},
      {{"nn"}, SwitchOutcome::PackOnly},
      {{"1"}, SwitchOutcome::PackOnly},
      {{" "}, SwitchOutcome::PackOnly},
      {{"\xE1"}, SwitchOutcome::PackOnly},
      {{"Y "}, SwitchOutcome::PackOnly},
      {{"y", "junk", "more"}, SwitchOutcome::PackAndSort},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const char* argument : c.arguments) shown += std::string("[") + argument + "]";
    EXPECT_EQ(Classify(c.arguments), c.outcome) << shown;
  }
}

TEST(FirstArgument, IsCutAt255Bytes) {
  const std::string long_argument(400, 'x');
  const char* argv[] = {"kovomaint", long_argument.c_str()};
  const auto argument = FirstArgument(2, argv);
  ASSERT_TRUE(argument.has_value());
  EXPECT_EQ(argument->size(), 255u);
}

}  // namespace
}  // namespace kovo
