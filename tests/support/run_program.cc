#include "support/run_program.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <chrono>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kovo::testing {
namespace {

[[noreturn]] void ExecProgram(const std::string& path, const ProgramOptions& options) {
  if (::chdir(options.Directory.c_str()) != 0) ::_exit(126);
  ::setenv("TERM", options.Term.c_str(), 1);
  ::setenv("LANG", "C.UTF-8", 1);
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_CTYPE");
  const auto limit = [](int resource, std::optional<long> value) {
    if (!value) return;
    const rlimit both{static_cast<rlim_t>(*value), static_cast<rlim_t>(*value)};
    ::setrlimit(resource, &both);
  };
  limit(RLIMIT_FSIZE, options.FileSizeLimit);
  limit(RLIMIT_AS, options.MemoryLimit);
  std::signal(SIGPIPE, SIG_DFL);
  std::vector<char*> argv{const_cast<char*>(path.c_str())};
  for (const std::string& argument : options.Arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ::execv(path.c_str(), argv.data());
  ::_exit(127);
}

// Reads until the other side closes, or for at most milliseconds when that
// is not negative.
std::string ReadUntilClosed(int fd, int milliseconds = -1) {
  std::string output;
  char buffer[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (milliseconds >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd ready{fd, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    }
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EIO on a pseudo-terminal once the program has gone
    output.append(buffer, static_cast<std::size_t>(n));
  }
  return output;
}

ProgramRun RunOnTerminal(const std::string& path, const ProgramOptions& options) {
  winsize size{static_cast<unsigned short>(options.Rows),
               static_cast<unsigned short>(options.Columns), 0, 0};
  int controller = -1;
  const pid_t child = ::forkpty(&controller, nullptr, nullptr, &size);
  if (child == 0) ExecProgram(path, options);
  ProgramRun run;
  if (options.MidRun) {
    run.Output = ReadUntilClosed(controller, options.MidRunAfterMs);
    run.OutputBeforeHook = run.Output.size();
    options.MidRun(controller, child);
  }
  run.Output += ReadUntilClosed(controller);
  ::waitpid(child, &run.Status, 0);
  ::close(controller);
  return run;
}

ProgramRun RunRedirected(const std::string& path, const ProgramOptions& options) {
  char name[] = "/tmp/kovo-output-XXXXXX";
  const int file = ::mkstemp(name);
  ::unlink(name);
  char errors_name[] = "/tmp/kovo-errors-XXXXXX";
  const int errors = ::mkstemp(errors_name);
  ::unlink(errors_name);
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    switch (options.Output) {
      case OutputTo::File: ::dup2(file, STDOUT_FILENO); break;
      case OutputTo::ClosedPipe: ::dup2(pipe_ends[1], STDOUT_FILENO); break;
      default: ::close(STDOUT_FILENO); break;
    }
    ::dup2(errors, STDERR_FILENO);
    ::close(pipe_ends[0]);
    ExecProgram(path, options);
  }
  ::close(pipe_ends[0]);  // nobody reads: writes to the pipe fail
  ::close(pipe_ends[1]);
  ProgramRun run;
  ::waitpid(child, &run.Status, 0);
  ::lseek(file, 0, SEEK_SET);
  run.Output = ReadUntilClosed(file);
  ::close(file);
  ::lseek(errors, 0, SEEK_SET);
  run.Errors = ReadUntilClosed(errors);
  ::close(errors);
  return run;
}

}  // namespace

bool ProgramRun::Exited() const { return WIFEXITED(Status); }
int ProgramRun::ExitCode() const { return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1; }

ProgramRun RunProgram(const std::string& path, const ProgramOptions& options) {
  return options.Output == OutputTo::Terminal ? RunOnTerminal(path, options)
                                              : RunRedirected(path, options);
}

}  // namespace kovo::testing
