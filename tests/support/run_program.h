// Running a built program as a user would: on a pseudo-terminal of a chosen
// size, or with standard output sent to a file, a closed pipe or nowhere.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kovo::testing {

struct ProgramRun {
  std::string Output;                // what went to standard output
  std::string Errors;                // and to standard error, when redirected
  int Status = -1;                   // the raw wait status
  std::size_t OutputBeforeHook = 0;  // how much of Output came before MidRun
  int ExitCode() const;              // -1 when killed by a signal
};

enum class OutputTo { Terminal, File, ClosedPipe, Closed };

struct ProgramOptions {
  std::string Directory;  // the working folder
  std::vector<std::string> Arguments;
  OutputTo Output = OutputTo::Terminal;
  int Columns = 80;
  int Rows = 25;
  std::optional<long> FileSizeLimit;  // RLIMIT_FSIZE
  std::optional<long> MemoryLimit;    // RLIMIT_AS
  const char* Term = "xterm";         // nullptr: unset
  const char* Lang = "C.UTF-8";
  // On a terminal: called 200 ms into the run with the terminal's
  // controlling side and the program's process.
  std::function<void(int controller, pid_t program)> MidRun;
};

ProgramRun RunProgram(const std::string& path, const ProgramOptions& options);

}  // namespace kovo::testing
