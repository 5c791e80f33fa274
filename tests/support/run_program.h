// Running a built program as a user would: on a pseudo-terminal of a chosen
// size, or with standard output sent to a file, a closed pipe or nowhere;
// and another program that holds a lock on a file.
#pragma once

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <iterator>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/limits.h>
#include <linux/seccomp.h>
#include <optional>
#include <pty.h>
#include <pwd.h>
#include <string>
#include <string_view>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kovo::testing {

#if defined(__x86_64__)
inline constexpr std::uint32_t kNativeArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
inline constexpr std::uint32_t kNativeArch = AUDIT_ARCH_AARCH64;
#else
inline constexpr std::uint32_t kNativeArch = 0;  // the filter lets every call pass
#endif

struct ProgramRun {
  std::string Output;                // what went to standard output
  std::string Errors;                // and to standard error, when redirected
  int Status = -1;                   // the raw wait status
  std::size_t OutputBeforeHook = 0;  // how much of Output came before MidRun
  int ExitCode() const { return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1; }  // -1: a signal
};

enum class OutputTo { Terminal, File, ClosedPipe, Closed, FullDisk };

struct ProgramOptions {
  std::string Directory;  // the working folder
  std::vector<std::string> Arguments;
  OutputTo Output = OutputTo::Terminal;
  int Columns = 80;
  int Rows = 25;
  std::optional<long> FileSizeLimit;  // RLIMIT_FSIZE
  const char* Term = "xterm";         // nullptr: unset
  const char* Lang = "C.UTF-8";
  bool AsNobody = false;              // as root: run as the user nobody
  bool OldKernelLocks = false;        // fcntl refuses open-file-description locks
  // On a terminal: called with the terminal's controlling side and the
  // program's process once the program has written MidRunAfter.
  std::function<void(int controller, pid_t program)> MidRun;
  const char* MidRunAfter = "Sorting";  // the second phase's pause
};

// Makes this process the user nobody, with no other groups; false when
// that fails.
inline bool BecomeNobody() {
  const passwd* nobody = ::getpwnam("nobody");
  return nobody != nullptr && ::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0 &&
         ::setuid(nobody->pw_uid) == 0;
}

// Installs a seccomp filter for this process and what it runs: calls of the
// kind arch numbered nr whose argument arg, masked, lies in low..high fail
// with error; all others pass. False when that fails.
inline bool FailCalls(std::uint32_t arch, long nr, int arg, std::uint32_t mask, std::uint32_t low, std::uint32_t high,
                      int error) {
  const auto argument = static_cast<std::uint32_t>(offsetof(seccomp_data, args) + 8 * std::size_t(arg));
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, arch, 0, 7),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(nr), 0, 5),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argument),
      BPF_STMT(BPF_ALU | BPF_AND | BPF_K, mask),
      BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, low, 0, 2),
      BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, high, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<std::uint32_t>(error)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// fcntl refuses open-file-description locks as unknown commands, as kernels
// before Linux 3.15 do; for 32-bit PC programs too (their fcntl64 is 221).
inline bool RefuseOpenFileDescriptionLocks() {
  return FailCalls(kNativeArch, SYS_fcntl, 1, 0xFFFFFFFF, F_OFD_GETLK, F_OFD_SETLKW, EINVAL) &&
         FailCalls(AUDIT_ARCH_I386, 221, 1, 0xFFFFFFFF, F_OFD_GETLK, F_OFD_SETLKW, EINVAL);
}

namespace program_detail {

[[noreturn]] inline void Exec(const std::string& path, const ProgramOptions& options) {
  if (::chdir(options.Directory.c_str()) != 0) ::_exit(126);
  if (options.AsNobody && ::geteuid() == 0 && !BecomeNobody()) ::_exit(126);
  if (options.OldKernelLocks && !RefuseOpenFileDescriptionLocks()) ::_exit(126);
  options.Term ? ::setenv("TERM", options.Term, 1) : ::unsetenv("TERM");
  ::setenv("LANG", options.Lang, 1);
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_CTYPE");
  const rlimit size_limit{rlim_t(options.FileSizeLimit.value_or(0)), rlim_t(options.FileSizeLimit.value_or(0))};
  if (options.FileSizeLimit) ::setrlimit(RLIMIT_FSIZE, &size_limit);
  std::signal(SIGPIPE, SIG_DFL);
  std::vector<char*> argv{const_cast<char*>(path.c_str())};
  for (const std::string& argument : options.Arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ::execv(path.c_str(), argv.data());
  ::_exit(127);
}

// Reads until what came holds marker, or until the other side closes (EIO
// on a pseudo-terminal once the program has gone) when marker is empty.
inline std::string ReadUntil(int fd, std::string_view marker = {}) {
  std::string output;
  char buffer[4096];
  while (marker.empty() || output.find(marker) == std::string::npos) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output.append(buffer, static_cast<std::size_t>(n));
  }
  return output;
}

inline ProgramRun RunOnTerminal(const std::string& path, const ProgramOptions& options) {
  winsize size{static_cast<unsigned short>(options.Rows), static_cast<unsigned short>(options.Columns), 0, 0};
  int controller = -1;
  const pid_t child = ::forkpty(&controller, nullptr, nullptr, &size);
  if (child == 0) Exec(path, options);
  ProgramRun run;
  if (options.MidRun) {
    run.Output = ReadUntil(controller, options.MidRunAfter);
    run.OutputBeforeHook = run.Output.size();
    options.MidRun(controller, child);
  }
  run.Output += ReadUntil(controller);
  ::waitpid(child, &run.Status, 0);
  ::close(controller);
  return run;
}

inline ProgramRun RunRedirected(const std::string& path, const ProgramOptions& options) {
  const int output = ::memfd_create("output", 0);
  const int errors = ::memfd_create("errors", 0);
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(STDOUT_FILENO);
    if (options.Output == OutputTo::File) ::dup2(output, STDOUT_FILENO);
    if (options.Output == OutputTo::ClosedPipe) ::dup2(pipe_ends[1], STDOUT_FILENO);
    if (options.Output == OutputTo::FullDisk) ::open("/dev/full", O_WRONLY);  // the lowest: 1
    ::dup2(errors, STDERR_FILENO);
    ::close(pipe_ends[0]);
    Exec(path, options);
  }
  ::close(pipe_ends[0]);  // nobody reads: writes to the pipe fail
  ::close(pipe_ends[1]);
  ProgramRun run;
  ::waitpid(child, &run.Status, 0);
  for (auto [fd, text] : {std::pair{output, &run.Output}, std::pair{errors, &run.Errors}}) {
    ::lseek(fd, 0, SEEK_SET);
    *text = ReadUntil(fd);
    ::close(fd);
  }
  return run;
}

}  // namespace program_detail

inline ProgramRun RunProgram(const std::string& path, const ProgramOptions& options) {
  return options.Output == OutputTo::Terminal ? program_detail::RunOnTerminal(path, options)
                                              : program_detail::RunRedirected(path, options);
}

// A child that opens path, takes a lock with take and holds it until
// Release; it has the lock when this returns.
inline pid_t HoldLock(const std::string& path, int (*take)(int fd)) {
  int taken[2];
  if (::pipe(taken) != 0) return -1;
  const pid_t holder = ::fork();
  if (holder == 0) {
    if (take(::open(path.c_str(), O_RDWR)) == 0 && ::write(taken[1], "", 1) == 1) ::pause();
    ::_exit(1);
  }
  ::close(taken[1]);
  char byte;
  (void)::read(taken[0], &byte, 1);  // the lock taken, or the child gone
  ::close(taken[0]);
  return holder;
}

// Waits for the next open of the file watch watches: a program that opens
// a file and then waits for its lock is waiting once this returns.
inline void WaitForAnOpen(int watch) {
  alignas(inotify_event) char event[sizeof(inotify_event) + NAME_MAX + 1];
  (void)::read(watch, event, sizeof event);
}

inline void Release(pid_t holder) {
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
}

}  // namespace kovo::testing
