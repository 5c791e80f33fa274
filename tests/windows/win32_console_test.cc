// kovomaint.exe run in this test's own console: the cells it leaves, read
// back from the console, must equal the memory grid's at the same size.
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

#include "console/console_device.h"
#include "directory/directory_entry.h"
#include "support/directory_builder.h"
#include "support/expected_screen.h"
#include "support/temp_dir.h"

namespace kovo {
namespace {

std::string ProgramNextToThisOne(const char* name) {
  char path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string full(path, length);
  return full.substr(0, full.rfind('\\') + 1) + name;
}

// The console itself, also when this runner's output goes to a file.
HANDLE OpenConsole() {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, OPEN_EXISTING, 0, nullptr);
}

// Runs kovomaint.exe with the arguments in directory, its standard output
// the given handle. Returns the exit code.
DWORD RunKovomaint(const std::string& arguments, const std::string& directory, HANDLE output) {
  const std::string program = ProgramNextToThisOne("kovomaint.exe");
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

std::string DescribeConsoleDifferences(HANDLE console, const MemoryScreen& want, int columns,
                                       int rows) {
  std::string out;
  int reported = 0;
  for (int row = 0; row < rows; ++row) {
    std::string bytes(static_cast<std::size_t>(columns), '\0');
    std::vector<WORD> attributes(static_cast<std::size_t>(columns));
    DWORD read = 0;
    ::ReadConsoleOutputCharacterA(console, bytes.data(), columns, COORD{0, static_cast<SHORT>(row)}, &read);
    ::ReadConsoleOutputAttribute(console, attributes.data(), columns, COORD{0, static_cast<SHORT>(row)}, &read);
    for (int column = 0; column < columns && reported < 12; ++column) {
      const Cell& cell = want.At(column, row);
      const auto byte = static_cast<std::uint8_t>(bytes[column]);
      const auto attribute = static_cast<std::uint8_t>(attributes[column] & 0xFF);
      if (byte == cell.Byte && attribute == cell.Attribute) continue;
      ++reported;
      out += "(" + std::to_string(column) + "," + std::to_string(row) + "): got " +
             std::to_string(byte) + "/" + std::to_string(attribute) + " want " +
             std::to_string(cell.Byte) + "/" + std::to_string(cell.Attribute) + "\n";
    }
  }
  return out;
}

TEST(Win32Console, SortRunLeavesTheCellsOfTheMemoryGrid) {
  const HANDLE console = OpenConsole();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(console, &info)) GTEST_SKIP() << "no console to draw on";
  const int columns = std::min<int>(info.dwSize.X, kMaxWindowColumns);
  const int rows = std::min<int>(info.dwSize.Y, kMaxWindowRows);

  // Whatever stood on the console before must be cleared away.
  DWORD filled = 0;
  ::FillConsoleOutputCharacterA(console, '#', info.dwSize.X * info.dwSize.Y, COORD{0, 0}, &filled);
  ::FillConsoleOutputAttribute(console, 0x07, info.dwSize.X * info.dwSize.Y, COORD{0, 0}, &filled);

  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("kovo.fon"), testing::ImageBytes(testing::ScatteredImage()));
  EXPECT_EQ(RunKovomaint("Y", dir.Path(), console), 0u);

  testing::ExpectedScreen expected(columns, rows);
  expected.Banner().PhaseDone("Reading").PhaseDone("Sorting").PhaseDone("Packing");
  EXPECT_EQ(DescribeConsoleDifferences(console, expected.Grid(), columns, rows), "");
  ::GetConsoleScreenBufferInfo(console, &info);
  EXPECT_EQ(info.dwCursorPosition.X, expected.Cursor().Column);
  EXPECT_EQ(info.dwCursorPosition.Y, expected.Cursor().Row);
  EXPECT_EQ(testing::FirstFields(testing::ImageFromBytes(testing::ReadFileBytes(dir.File("kovo.fon"))), 2),
            (std::vector<std::string>{"10 Downing", "Alpha"}));
  ::CloseHandle(console);
}

// Statuses and redirection: nothing but the report reaches a file.
TEST(Win32Console, RedirectedRunsWriteNothingAndEndWithTheirStatus) {
  testing::TempDir dir;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const std::string output_path = dir.File("out.txt");
  const HANDLE output = ::CreateFileA(output_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(output, INVALID_HANDLE_VALUE);
  EXPECT_EQ(RunKovomaint("Y", dir.Path(), output), 0u);  // no file: "Can't locate"
  testing::WriteFileBytes(dir.File("kovo.fon"), std::string(kImageSize - 1, '\0'));
  EXPECT_EQ(RunKovomaint("Y", dir.Path(), output), 1u);  // short: "bad or corrupt"
  testing::WriteFileBytes(dir.File("kovo.fon"), testing::ImageBytes(testing::ScatteredImage()));
  EXPECT_EQ(RunKovomaint("N", dir.Path(), output), 0u);
  EXPECT_EQ(RunKovomaint("q", dir.Path(), output), 0u);
  ::CloseHandle(output);
  EXPECT_EQ(testing::ReadFileBytes(output_path), "");
  EXPECT_EQ(testing::FirstFields(testing::ImageFromBytes(testing::ReadFileBytes(dir.File("kovo.fon"))), 2),
            (std::vector<std::string>{"beta", "Alpha"}));
}

}  // namespace
}  // namespace kovo
