// kovomaint Y|N on the Win32 console.
#include <new>
#include <string>
#include <windows.h>

#include "app/win32_command_line.h"
#include "app/fatal_report.h"
#include "app/run_driver.h"
#include "console/standard_output.h"
#include "console/win32_console_screen.h"
#include "directory/platform_file_system.h"

namespace {

int Run() {
  // The command line is split before the run starts: from then on it takes
  // no memory.
  const std::vector<std::string> arguments = kovo::SplitCommandLine(::GetCommandLineA());
  std::optional<std::string> first;
  if (arguments.size() > 1) first = arguments[1];

  kovo::Win32ConsoleScreen screen;
  kovo::Console console(screen);
  console.Device.StartDevice();

  kovo::PlatformFileSystem files;
  kovo::RunContext context{console, files};
  return kovo::RunAndReport(context, first);
}

}  // namespace

int main() {
  int status = 1;
  try {
    status = Run();
  } catch (const std::bad_alloc&) {
    kovo::WriteFatalReport(kovo::kOutOfMemory);
  }
  ::ExitProcess(static_cast<UINT>(status));
}
