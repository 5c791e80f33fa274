// kovomaint Y|N: packs (and with Y sorts) the kovo.fon directory file in the
// current directory.
#include <climits>
#include <new>
#include <unistd.h>

#include "app/fatal_report.h"
#include "app/posix_process_setup.h"
#include "app/run_driver.h"
#include "app/switch_table.h"
#include "console/standard_output.h"
#include "console/posix_terminal_screen.h"
#include "directory/platform_file_system.h"

namespace {

int Run(int argc, char** argv, std::string_view module_name) {
  // The switch is taken before the run starts: from then on it takes no
  // memory, and drawing none beyond the terminal screen's own.
  const std::optional<std::string> argument = kovo::FirstArgument(argc, argv);
  kovo::TerminalScreenPtr terminal;
  if (const auto size = kovo::UsableTerminalSize(STDOUT_FILENO)) {
    terminal = kovo::OpenTerminalScreen(STDOUT_FILENO, *size, kovo::EncodingFromLocale(), kovo::ColoursWanted());
    if (!terminal) {
      kovo::WriteFatalReport(STDOUT_FILENO, kovo::kOutOfMemory, module_name);
      return 1;
    }
  }
  kovo::NoScreen no_screen;
  kovo::Console console(terminal ? static_cast<kovo::Screen&>(*terminal) : no_screen);
  console.Device.StartDevice();

  kovo::PlatformFileSystem files;
  kovo::RunContext context{console, files};
  return kovo::RunAndReport(context, argument, [module_name](const kovo::Status& failure) {
    kovo::WriteFatalReport(STDOUT_FILENO, failure, module_name);
  });
}

}  // namespace

int main(int argc, char** argv) {
  kovo::EnsureStandardDescriptors();
  kovo::IgnoreWriteSignals();
  char module_buffer[PATH_MAX];
  const std::string_view module_name = kovo::ModuleName(argv[0], module_buffer, sizeof module_buffer);
  try {
    return Run(argc, argv, module_name);
  } catch (const std::bad_alloc&) {
    // Whatever ran out, the images are not to be had: the same report as
    // when taking them fails. The run itself takes memory only where it
    // must, and without exceptions (which need memory of their own).
    kovo::WriteFatalReport(STDOUT_FILENO, kovo::kOutOfMemory, module_name);
    return 1;
  }
}
