#include "directory/win32_file_system.h"

#include <string>
#include <windows.h>
#include <aclapi.h>

namespace kovo {
namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

int LastError() { return static_cast<int>(::GetLastError()); }

// Writes stop short only when the disk ran out of room part-way; that is a
// short write for the caller to report, not an error of its own.
bool RanOutOfRoom(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

// File names are written in the console's code page.
std::string AnsiName(const char* name) {
  std::string ansi_name(name);
  ::OemToCharA(ansi_name.c_str(), ansi_name.data());
  return ansi_name;
}

OpenResult Opened(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return OpenResult{LastError(), kNoFile};
  return OpenResult{0, reinterpret_cast<FileHandle>(handle)};
}

// The data's range is every offset below the run lock's byte; the run lock
// is that one byte. Win32 locks are mandatory: nobody reads or writes there.
struct LockRange {
  OVERLAPPED At{};
  DWORD Low = 0;
  DWORD High = 0;
};

LockRange RangeOf(LockMode mode) {
  LockRange range;
  if (mode == LockMode::Run) {
    range.At.OffsetHigh = static_cast<DWORD>(kRunLockOffset >> 32);
    range.Low = 1;
  } else {
    range.High = static_cast<DWORD>(kRunLockOffset >> 32);
  }
  return range;
}

bool TryLock(HANDLE handle, LockMode mode, DWORD& error) {
  LockRange range = RangeOf(mode);
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (mode != LockMode::Shared ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  if (::LockFileEx(handle, flags, 0, range.Low, range.High, &range.At)) return true;
  error = ::GetLastError();
  return false;
}

}  // namespace

OpenResult Win32FileSystem::OpenExisting(const char* name, Access access) {
  const std::string ansi_name = AnsiName(name);
  const DWORD rights = access == Access::ReadWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const HANDLE handle = ::CreateFileA(ansi_name.c_str(), rights,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return OpenResult{LastError(), kNoFile};
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return OpenResult{ERROR_ACCESS_DENIED, kNoFile};
  }
  return OpenResult{0, reinterpret_cast<FileHandle>(handle)};
}

IoResult Win32FileSystem::ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((offset + done) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    if (!::ReadFile(AsHandle(file), bytes + done, static_cast<DWORD>(size - done), &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
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

namespace kovo {

DescribeResult Win32FileSystem::Describe(FileHandle file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(AsHandle(file), &info)) return DescribeResult{LastError(), {}, 0};
  const FileIdentity identity{info.dwVolumeSerialNumber,
                              (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  return DescribeResult{0, identity, (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow};
}

DescribeResult Win32FileSystem::DescribeName(const char* name) {
  // No access rights are asked for: this only looks at the file.
  const HANDLE handle = ::CreateFileA(AnsiName(name).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const int error = LastError();
    return DescribeResult{error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error, {}, 0};
  }
  const DescribeResult described = Describe(reinterpret_cast<FileHandle>(handle));
  ::CloseHandle(handle);
  return described;
}

IoResult Win32FileSystem::Lock(FileHandle file, LockMode mode) {
  if (mode == LockMode::Unlocked) {
    LockRange range = RangeOf(mode);
    if (::UnlockFileEx(AsHandle(file), 0, range.Low, range.High, &range.At)) return IoResult{};
    const DWORD error = ::GetLastError();
    return error == ERROR_NOT_LOCKED ? IoResult{} : IoResult{static_cast<int>(error), 0};
  }
  const ULONGLONG deadline = ::GetTickCount64() + (mode == LockMode::Run ? run_wait_ms_ : lock_wait_ms_);
  for (;;) {
    DWORD error = 0;
    if (TryLock(AsHandle(file), mode, error)) return IoResult{};
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING)
      return IoResult{static_cast<int>(error), 0};
    if (::GetTickCount64() >= deadline) return IoResult{kLockViolation, 0};
    ::Sleep(10);
  }
}

OpenResult Win32FileSystem::OpenJournal(const char* name, Access access, FileHandle) {
  const DWORD rights = access == Access::ReadWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const OpenResult opened = Opened(::CreateFileA(
      AnsiName(name).c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!opened.ok())
    return OpenResult{opened.Code == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : opened.Code, kNoFile};
  BY_HANDLE_FILE_INFORMATION info{};
  int code = 0;
  if (!::GetFileInformationByHandle(AsHandle(opened.Handle), &info)) code = LastError();
  else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) code = kSymbolicLink;
  else if (::GetFileType(AsHandle(opened.Handle)) != FILE_TYPE_DISK) code = kNotARegularFile;
  else if (info.nNumberOfLinks != 1) code = kMoreThanOneLink;
  if (code == 0) return opened;
  ::CloseHandle(AsHandle(opened.Handle));
  return OpenResult{code, kNoFile};
}

// The journal takes the access list of its file, Win32's counterpart of
// its permission bits; where that is refused it keeps the folder's. One
// left at the name is taken over where this user may write it.
OpenResult Win32FileSystem::CreateJournal(const char* name, FileHandle like) {
  const DWORD rights = GENERIC_READ | GENERIC_WRITE | WRITE_DAC;
  OpenResult created = Opened(
      ::CreateFileA(AnsiName(name).c_str(), rights, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (created.Code == ERROR_FILE_EXISTS) {
    created = OpenJournal(name, Access::ReadWrite, like);
    if (!created.ok()) return OpenResult{created.Code == ERROR_ACCESS_DENIED ? kFileExists : created.Code, kNoFile};
    if (!::SetEndOfFile(AsHandle(created.Handle))) {
      const int error = LastError();
      ::CloseHandle(AsHandle(created.Handle));
      return OpenResult{error, kNoFile};
    }
  }
  PACL access_list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (created.ok() && ::GetSecurityInfo(AsHandle(like), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, &access_list, nullptr, &descriptor) == ERROR_SUCCESS) {
    ::SetSecurityInfo(AsHandle(created.Handle), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      access_list, nullptr);
    ::LocalFree(descriptor);
  }
  return created;
}

// Win32 cannot sync a folder (FlushFileBuffers on one needs backup
// semantics); Remove stands in for it.
IoResult Win32FileSystem::SyncFolder(const char*) { return IoResult{}; }

// The journal's first bytes are zeroed and flushed before it is deleted: a
// deletion lost to a power cut brings back a journal that is no longer
// complete, which the next run discards instead of applying.
IoResult Win32FileSystem::Remove(const char* name) {
  const std::string ansi_name = AnsiName(name);
  // Every share mode: a reader or a scanner holding the journal open does
  // not keep it from being spoiled.
  const HANDLE handle = ::CreateFileA(ansi_name.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    const char zeros[8] = {};
    DWORD put = 0;
    const bool spoiled = ::WriteFile(handle, zeros, sizeof zeros, &put, nullptr) && ::FlushFileBuffers(handle);
    const int error = spoiled ? 0 : LastError();
    ::CloseHandle(handle);
    if (error != 0) return IoResult{error, 0};
  }
  return ::DeleteFileA(ansi_name.c_str()) ? IoResult{} : IoResult{LastError(), 0};
}

// Whether the journal may be removed is up to its access list and the
// folder's, which only an attempt tells; a refusal spends it instead.
bool Win32FileSystem::MayRemove(const char*) { return true; }

}  // namespace kovo
