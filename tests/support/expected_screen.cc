#include "support/expected_screen.h"

namespace kovo::testing {

ExpectedScreen::ExpectedScreen(int columns, int rows) : grid_(columns, rows), console_(grid_) {
  console_.Device.StartDevice();
  console_.Device.ClearScreen();
}

ExpectedScreen& ExpectedScreen::Text(int colour, const std::string& text) {
  console_.Device.SetForeground(static_cast<std::uint8_t>(colour));
  console_.Output.WriteString(text);
  return *this;
}

ExpectedScreen& ExpectedScreen::LineEnd() {
  console_.Output.WriteLineEnd();
  return *this;
}

ExpectedScreen& ExpectedScreen::Banner() {
  Text(11, " Kovo/w32 Maintenence ").Text(11, "\xE1" "1 v1.00 ").Text(8, "[win32 version]");
  LineEnd();
  Text(3, " Packs and sorts the kovo.fon directory file").LineEnd();
  return Text(8, "--//----------------").LineEnd();
}

ExpectedScreen& ExpectedScreen::PhaseDone(const std::string& name) {
  Text(15, " \xFE ").Text(3, name + " KOVO.FON:").Text(11, " DONE   ");
  return LineEnd();
}

}  // namespace kovo::testing
