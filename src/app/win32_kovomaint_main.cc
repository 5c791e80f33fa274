// kovomaint Y|N on the Win32 console.
#include <new>
#include <string>
#include <string_view>
#include <windows.h>

#include "app/win32_command_line.h"
#include "app/fatal_report.h"
#include "app/run_driver.h"
#include "console/standard_output.h"
#include "console/win32_console_screen.h"
#include "directory/platform_file_system.h"

namespace {

// The executable's file name, after the last backslash, kept in path.
std::string_view ModuleName(char (&path)[MAX_PATH]) {
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string_view name(path, length);
  name.remove_prefix(name.rfind('\\') + 1);  // npos + 1 is 0
  return name;
}

// The fatal report goes to the standard output handle as plain bytes, at the
// console's own cursor and in its own colours, or into a redirected file. It
// takes no memory, so that it can report running out of it.
void WriteFatalReport(const kovo::Status& failure) {
  char path[MAX_PATH] = {};
  char report[MAX_PATH + kovo::kFatalReportOverhead];
  const std::size_t size = kovo::FormatFatalReport(failure, ModuleName(path), report, sizeof report);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), report, static_cast<DWORD>(size), &written,
              nullptr);
}

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
  return kovo::RunAndReport(context, first, WriteFatalReport);
}

}  // namespace

int main() {
  int status = 1;
  try {
    status = Run();
  } catch (const std::bad_alloc&) {
    WriteFatalReport(kovo::kOutOfMemory);
  }
  ::ExitProcess(static_cast<UINT>(status));
}
