// kovomaint.exe run in this test's own console: the cells it leaves, read
// back from the console, are the memory grid's.
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

#include "console/console_device.h"
#include "support/directory_builder.h"
#include "support/memory_screen.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

// Runs kovomaint.exe, next to this program, in directory with its standard
// output on the handle; returns the exit code.
DWORD RunKovomaint(const std::string& arguments, const std::string& directory, HANDLE output) {
  char path[MAX_PATH] = {};
  std::string program(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
  program = program.substr(0, program.rfind('\\') + 1) + "kovomaint.exe";
  std::string line = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        directory.c_str(), &startup, &process)) {
    return 0xFFFFFFFF;
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return code;
}

TEST(Win32Console, SortRunLeavesTheCellsOfTheMemoryGrid) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE console = ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(console, &info)) GTEST_SKIP() << "no console to draw on";
  const int columns = std::min<int>(info.dwSize.X, kMaxWindowColumns);
  const int rows = std::min<int>(info.dwSize.Y, kMaxWindowRows);
  DWORD done = 0;  // whatever stood there before must be cleared away
  ::FillConsoleOutputCharacterA(console, '#', DWORD(info.dwSize.X * info.dwSize.Y), COORD{0, 0}, &done);
  ::FillConsoleOutputAttribute(console, 0x07, DWORD(info.dwSize.X * info.dwSize.Y), COORD{0, 0}, &done);

  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("kovo.fon"), testing::kScattered);
  EXPECT_EQ(RunKovomaint("Y", dir.Path(), console), 0u);
  testing::MemoryScreen expected(columns, rows);
  testing::DrawExpected(expected, {testing::PhaseDone("Reading"), testing::PhaseDone("Sorting"),
                                   testing::PhaseDone("Packing")});
  for (int row = 0; row < rows; ++row) {
    std::string bytes(static_cast<std::size_t>(columns), '\0');
    std::vector<WORD> attributes(static_cast<std::size_t>(columns));
    ::ReadConsoleOutputCharacterA(console, bytes.data(), DWORD(columns), COORD{0, SHORT(row)}, &done);
    ::ReadConsoleOutputAttribute(console, attributes.data(), DWORD(columns), COORD{0, SHORT(row)}, &done);
    for (int column = 0; column < columns; ++column) {
      ASSERT_EQ((Cell{std::uint8_t(bytes[std::size_t(column)]), std::uint8_t(attributes[std::size_t(column)])}),
                expected.At(column, row)) << column << "," << row;
    }
  }
  ::GetConsoleScreenBufferInfo(console, &info);
  EXPECT_EQ(info.dwCursorPosition.X, expected.Cursor().Column);
  EXPECT_EQ(info.dwCursorPosition.Y, expected.Cursor().Row);
  ::CloseHandle(console);
}

}  // namespace
}  // namespace kovo
