#include <windows.h>

#include "app/fatal_report.h"

namespace kovo {

std::string_view ExecutableName(char* buffer, std::size_t size) {
  const DWORD length = ::GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
  std::string_view name(buffer, length);
  name.remove_prefix(name.rfind('\\') + 1);  // npos + 1 is 0
  return name;
}

void WriteStandardOutput(const char* bytes, std::size_t size) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes, static_cast<DWORD>(size), &written, nullptr);
}

}  // namespace kovo
