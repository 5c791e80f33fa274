// kovomaint Y|N: packs (and with Y sorts) the kovo.fon directory file in the
// current directory.
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

int Run(int argc, char** argv) {
  // The switch is taken before the run starts: from then on it takes no
  // memory, and drawing none beyond the terminal screen's own.
  const std::optional<std::string> argument = kovo::FirstArgument(argc, argv);
  kovo::TerminalScreenPtr terminal;
  if (const auto size = kovo::UsableTerminalSize(STDOUT_FILENO)) {
    terminal = kovo::OpenTerminalScreen(STDOUT_FILENO, *size, kovo::EncodingFromLocale(), kovo::ColoursWanted());
    if (!terminal) {
      kovo::WriteFatalReport(kovo::kOutOfMemory);
      return 1;
    }
  }
  kovo::NoScreen no_screen;
  kovo::Console console(terminal ? static_cast<kovo::Screen&>(*terminal) : no_screen);
  console.Device.StartDevice();

  kovo::PlatformFileSystem files;
  kovo::RunContext context{console, files};
  return kovo::RunAndReport(context, argument);
}

}  // namespace

int main(int argc, char** argv) {
  kovo::EnsureStandardDescriptors();
  kovo::IgnoreWriteSignals();
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    // Whatever ran out, the images are not to be had: the same report as
    // when taking them fails. The run itself takes memory only where it
    // must, and without exceptions (which need memory of their own).
    kovo::WriteFatalReport(kovo::kOutOfMemory);
    return 1;
  }
}
