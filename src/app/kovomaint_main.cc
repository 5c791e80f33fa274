// kovomaint Y|N: packs (and with Y sorts) the kovo.fon directory file in the
// current directory.
#include <unistd.h>

#include "app/fatal_report.h"
#include "app/process_setup.h"
#include "app/run_driver.h"
#include "app/switch_table.h"
#include "console/standard_output.h"
#include "console/terminal_screen.h"
#include "directory/platform_file_system.h"

int main(int argc, char** argv) {
  kovo::EnsureStandardDescriptors();
  kovo::IgnoreWriteSignals();

  const std::unique_ptr<kovo::Screen> screen = kovo::OpenScreen(STDOUT_FILENO);
  kovo::Console console(*screen);
  console.Device.StartDevice();

  kovo::PlatformFileSystem files;
  kovo::RunContext context{console, files};
  const kovo::RunOutcome outcome =
      kovo::RunMaintenance(context, kovo::FirstArgument(argc, argv));

  if (outcome.Fatal) {
    kovo::WriteAllBytes(STDOUT_FILENO,
                        kovo::FatalReportText(*outcome.Fatal, kovo::ModuleName(argv[0])));
    console.Device.ForgetCursor();
  }
  console.Device.ShutdownDevice();
  return outcome.ExitStatus;
}
