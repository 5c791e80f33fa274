// Running the built programs as a user would: on a pseudo-terminal of a
// chosen size, or with standard output sent to a file or a pipe.
#pragma once

#include <functional>
#include <optional>
#include <sys/types.h>
#include <string>
#include <vector>

namespace kovo::testing {

struct ProgramRun {
  std::string Output;  // what the program wrote to its standard output
  std::string Errors;  // and to its standard error, when redirected
  int Status = -1;     // the raw wait status
  std::size_t OutputBeforeHook = 0;  // how much of Output came before the mid-run hook
  bool Exited() const;
  int ExitCode() const;
};

enum class OutputTo { Terminal, File, ClosedPipe, Closed };

struct ProgramOptions {
  std::string Directory;            // the working directory
  std::vector<std::string> Arguments;
  OutputTo Output = OutputTo::Terminal;
  int Columns = 80;
  int Rows = 25;
  std::optional<long> FileSizeLimit;  // RLIMIT_FSIZE for the program
  std::optional<long> MemoryLimit;    // RLIMIT_AS for the program
  std::string Term = "xterm";
  // On a terminal: called once, this long into the run, with the
  // terminal's controlling side and the program's process.
  std::function<void(int controller, pid_t program)> MidRun;
  int MidRunAfterMs = 200;
};

ProgramRun RunProgram(const std::string& path, const ProgramOptions& options);

}  // namespace kovo::testing
