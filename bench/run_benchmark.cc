// A whole "kovomaint Y" run on an 80x25 pseudo-terminal, of the program
// linked against the system's libraries and of the static one, taken in
// turn: wall time less the three mandated 150 ms pauses, the bytes the run
// writes to the terminal and the number of write(2) calls they take.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <pty.h>
#include <unistd.h>
#include <vector>

#include "app/run_driver.h"
#include "console/standard_output.h"
#include "console/terminal_screen.h"
#include "directory/platform_file_system.h"

#include "support/directory_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

// The same run in this process, on a terminal screen over a pseudo-terminal,
// to count the screen's writes.
std::size_t WritesOfOneRun(const std::string& directory) {
  int controller = -1;
  int terminal = -1;
  winsize size{25, 80, 0, 0};
  if (::openpty(&controller, &terminal, nullptr, nullptr, &size) != 0) return 0;
  std::size_t writes = 0;
  {
    const kovo::TerminalScreenPtr screen =
        kovo::OpenTerminalScreen(terminal, {80, 25}, kovo::GlyphEncoding::Utf8);
    kovo::Console console(*screen);
    console.Device.StartDevice();
    kovo::PlatformFileSystem files;
    kovo::RunContext context{console, files};
    context.PhasePauseMs = 0;
    const kovo::testing::ScopedWorkingDirectory cwd(directory);
    (void)kovo::RunMaintenance(context, std::string("Y"));
    console.Device.ShutdownDevice();
    writes = screen->WritesSent();
  }
  ::close(terminal);
  ::close(controller);
  return writes;
}

struct Timing {
  const char* Name;
  const char* Path;
  std::vector<double> Times;
};

// One run of the program, in milliseconds less the pauses; negative when it fails.
double TimeOneRun(const Timing& program, const kovo::testing::TempDir& dir,
                  const kovo::testing::ProgramOptions& options, std::size_t& bytes) {
  kovo::testing::WriteFileBytes(dir.File("kovo.fon"), kovo::testing::ImageBytes(kovo::testing::ScatteredImage()));
  constexpr double kPausesMs = 3 * 150.0;
  const auto start = std::chrono::steady_clock::now();
  const kovo::testing::ProgramRun run = kovo::testing::RunProgram(program.Path, options);
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  if (run.ExitCode() != 0) {
    std::fprintf(stderr, "%s failed with status %d\n", program.Name, run.Status);
    return -1;
  }
  bytes = run.Output.size();
  return elapsed.count() - kPausesMs;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  kovo::testing::TempDir dir;
  kovo::testing::ProgramOptions options;
  options.Directory = dir.Path();
  options.Arguments = {"Y"};

  Timing programs[] = {{"dynamic", KOVOMAINT_PATH, {}}, {"static", KOVOMAINT_STATIC_PATH, {}}};
  std::size_t bytes = 0;
  for (int i = 0; i < runs; ++i) {
    for (Timing& program : programs) {
      const double time = TimeOneRun(program, dir, options, bytes);
      if (time < 0) return 1;
      program.Times.push_back(time);
    }
  }
  std::printf("kovomaint Y on an 80x25 terminal, %d runs of each, taken in turn\n", runs);
  std::printf("  wall time less pauses   median      min      max\n");
  for (Timing& program : programs) {
    std::sort(program.Times.begin(), program.Times.end());
    std::printf("  %-22s %6.2f ms %6.2f ms %6.2f ms\n", program.Name, program.Times[program.Times.size() / 2],
                program.Times.front(), program.Times.back());
  }
  std::printf("  bytes written to the terminal: %zu\n", bytes);
  kovo::testing::WriteFileBytes(dir.File("kovo.fon"), kovo::testing::ImageBytes(kovo::testing::ScatteredImage()));
  std::printf("  write(2) calls to the terminal: %zu\n", WritesOfOneRun(dir.Path()));
  return 0;
}
