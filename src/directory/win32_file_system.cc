#include "directory/win32_file_system.h"

#include <string>
#include <windows.h>

namespace kovo {
namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

int LastError() { return static_cast<int>(::GetLastError()); }

// Writes stop short only when the disk ran out of room part-way; that is a
// short write for the caller to report, not an error of its own.
bool RanOutOfRoom(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

}  // namespace

OpenResult Win32FileSystem::OpenExisting(const char* name) {
  // File names are written in the console's code page.
  std::string ansi_name(name);
  ::OemToCharA(ansi_name.c_str(), ansi_name.data());
  const HANDLE handle = ::CreateFileA(ansi_name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return OpenResult{LastError(), kNoFile};
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return OpenResult{ERROR_ACCESS_DENIED, kNoFile};
  }
  return OpenResult{0, reinterpret_cast<FileHandle>(handle)};
}

IoResult Win32FileSystem::Read(FileHandle file, void* buffer, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    DWORD got = 0;
    if (!::ReadFile(AsHandle(file), bytes + done, static_cast<DWORD>(size - done), &got, nullptr)) {
      return IoResult{LastError(), done};
    }
    if (got == 0) break;
    done += got;
  }
  return IoResult{0, done};
}

IoResult Win32FileSystem::WriteAt(FileHandle file, std::uint64_t offset, const void* data,
                                  std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((offset + done) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD put = 0;
    if (!::WriteFile(AsHandle(file), bytes + done, static_cast<DWORD>(size - done), &put, &at)) {
      const DWORD error = ::GetLastError();
      if (done > 0 && RanOutOfRoom(error)) break;
      return IoResult{static_cast<int>(error), done};
    }
    if (put == 0) break;
    done += put;
  }
  return IoResult{0, done};
}

IoResult Win32FileSystem::Sync(FileHandle file) {
  return ::FlushFileBuffers(AsHandle(file)) ? IoResult{} : IoResult{LastError(), 0};
}

IoResult Win32FileSystem::Close(FileHandle file) {
  return ::CloseHandle(AsHandle(file)) ? IoResult{} : IoResult{LastError(), 0};
}

}  // namespace kovo
