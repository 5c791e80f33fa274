// A whole "kovomaint Y" run on an 80x25 pseudo-terminal, of the program
// linked against the system's libraries and of the static one, taken in
// turn: wall time less the three mandated 150 ms pauses, the bytes the run
// writes to the terminal and the number of write(2) calls they take; and
// the allocations a run makes after it has taken its memory, which should
// be none, with the file named kovo.fon and named KOVO.FON.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <unistd.h>
#include <vector>

#include "app/run_driver.h"
#include "console/standard_output.h"
#include "console/posix_terminal_screen.h"
#include "directory/platform_file_system.h"

#include "support/directory_builder.h"
#include "support/message_socket.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

bool run_memory_taken = false;
std::size_t allocations_in_run = 0;

}  // namespace

void* operator new(std::size_t size) {
  allocations_in_run += run_memory_taken ? 1 : 0;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

kovo::RunMemoryPtr TakeMemoryThenCount() {
  kovo::RunMemoryPtr memory = kovo::TakeRunMemory();
  run_memory_taken = true;
  return memory;
}

struct InProcessRun {
  std::size_t Writes = 0;
  std::size_t Allocations = 0;
};

// The same run in this process, on an 80x25 terminal screen writing into a
// socket that keeps each write(2) a message of its own, to count the
// screen's writes and the run's allocations.
InProcessRun RunInProcess(const std::string& directory) {
  kovo::testing::MessageSocket sent;
  InProcessRun counted;
  {
    const kovo::TerminalScreenPtr screen =
        kovo::OpenTerminalScreen(sent.SendingEnd(), {80, 25}, kovo::GlyphEncoding::Utf8, true);
    kovo::Console console(*screen);
    console.Device.StartDevice();
    kovo::PlatformFileSystem files;
    kovo::RunContext context{console, files, TakeMemoryThenCount};
    context.PhasePauseMs = 0;
    const kovo::testing::ScopedWorkingDirectory cwd(directory);
    const std::optional<std::string> argument("Y");
    allocations_in_run = 0;
    (void)kovo::RunMaintenance(context, argument);
    run_memory_taken = false;
    counted.Allocations = allocations_in_run;
    console.Device.ShutdownDevice();
  }
  sent.Finish();
  counted.Writes = sent.Writes();
  return counted;
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
  const std::string image = kovo::testing::ImageBytes(kovo::testing::ScatteredImage());
  kovo::testing::WriteFileBytes(dir.File("kovo.fon"), image);
  const InProcessRun exact = RunInProcess(dir.Path());
  std::printf("  write(2) calls to the terminal: %zu\n", exact.Writes);
  ::rename(dir.File("kovo.fon").c_str(), dir.File("KOVO.FON").c_str());
  kovo::testing::WriteFileBytes(dir.File("KOVO.FON"), image);
  const InProcessRun found = RunInProcess(dir.Path());
  std::printf("  allocations after the run takes its memory: %zu (kovo.fon), %zu (KOVO.FON)\n", exact.Allocations,
              found.Allocations);
  return 0;
}
