// kovomaint Y|N on the Win32 console.
#include <string>
#include <windows.h>

#include "app/command_line.h"
#include "app/fatal_report.h"
#include "app/run_driver.h"
#include "console/standard_output.h"
#include "console/win32_console_screen.h"
#include "directory/win32_file_system.h"

namespace {

std::string ModuleName() {
  char path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string full(path, length);
  const std::size_t backslash = full.rfind('\\');
  return backslash == std::string::npos ? full : full.substr(backslash + 1);
}

// The fatal report goes to the standard output handle as plain bytes, at the
// console's own cursor and in its own colours, or into a redirected file.
void WriteToStandardOutput(const std::string& text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

}  // namespace

int main() {
  kovo::Win32ConsoleScreen screen;
  kovo::Console console(screen);
  console.Device.StartDevice();
  kovo::RegisterBreakHandler();

  const std::vector<std::string> arguments = kovo::SplitCommandLine(::GetCommandLineA());
  std::optional<std::string> first;
  if (arguments.size() > 1) first = arguments[1];

  kovo::Win32FileSystem files;
  kovo::RunContext context{console, files};
  const kovo::RunOutcome outcome = kovo::RunMaintenance(context, first);

  if (outcome.Fatal) {
    WriteToStandardOutput(kovo::FatalReportText(*outcome.Fatal, ModuleName()));
    console.Device.ForgetCursor();  // the console's cursor now stands after the report
  }
  console.Device.ShutdownDevice();
  ::ExitProcess(static_cast<UINT>(outcome.ExitStatus));
}
