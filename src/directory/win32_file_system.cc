#include "directory/platform_file_system.h"

#include <cstdio>
#include <windows.h>
#include <aclapi.h>

namespace kovo {
namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

int LastError() { return static_cast<int>(::GetLastError()); }

// Writes stop short only when the disk ran out of room part-way; that is a
// short write for the caller to report, not an error of its own.
bool RanOutOfRoom(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

Status Failure() { return Status{LastError()}; }

// A file name in the ANSI code page, kept without taking memory.
struct AnsiPath {
  char Text[MAX_PATH + 16];
  const char* c_str() const { return Text; }
};

// File names are written in the console's code page.
AnsiPath AnsiName(const char* name) {
  AnsiPath path{};
  std::snprintf(path.Text, sizeof path.Text, "%s", name);
  ::OemToCharA(path.Text, path.Text);
  return path;
}

DWORD RightsFor(Access access) {
  return access == Access::ReadWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
}

// The handle opened where its check (a code, 0: none) passed; otherwise it
// is closed again.
Status KeepIfChecked(HANDLE handle, int code, FileHandle& opened) {
  if (code == 0) opened = reinterpret_cast<FileHandle>(handle);
  if (code != 0) ::CloseHandle(handle);
  return Status{code};
}

int TypeCheck(HANDLE handle, int code) { return ::GetFileType(handle) == FILE_TYPE_DISK ? 0 : code; }

// A name whose folder is missing is not found either.
Status NotFoundAsSuch(Status status) {
  return status.Code == ERROR_PATH_NOT_FOUND ? Status{ERROR_FILE_NOT_FOUND} : status;
}

// A transfer at offset.
OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
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

Status PlatformFileSystem::OpenExisting(const char* name, Access access, FileHandle& opened) {
  const HANDLE file = ::CreateFileA(AnsiName(name).c_str(), RightsFor(access), FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Failure();
  return KeepIfChecked(file, TypeCheck(file, ERROR_ACCESS_DENIED), opened);
}

Status PlatformFileSystem::ReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size,
                                  std::size_t& done) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  return TransferAll(size, done, [&](std::size_t& moved) {
    OVERLAPPED at = At(offset + done);
    DWORD got = 0;
    if (!::ReadFile(AsHandle(file), bytes + done, static_cast<DWORD>(size - done), &got, &at))
      return ::GetLastError() == ERROR_HANDLE_EOF ? Status{} : Failure();
    moved = got;
    return Status{};
  });
}

Status PlatformFileSystem::WriteAt(FileHandle file, std::uint64_t offset, const void* data, std::size_t size,
                                   std::size_t& done) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  return TransferAll(size, done, [&](std::size_t& moved) {
    OVERLAPPED at = At(offset + done);
    DWORD put = 0;
    if (!::WriteFile(AsHandle(file), bytes + done, static_cast<DWORD>(size - done), &put, &at)) {
      const DWORD error = ::GetLastError();
      return done > 0 && RanOutOfRoom(error) ? Status{} : Status{static_cast<int>(error)};
    }
    moved = put;
    return Status{};
  });
}

Status PlatformFileSystem::Sync(FileHandle file) { return ::FlushFileBuffers(AsHandle(file)) ? Status{} : Failure(); }

Status PlatformFileSystem::Close(FileHandle file) { return ::CloseHandle(AsHandle(file)) ? Status{} : Failure(); }

Status PlatformFileSystem::Describe(FileHandle file, FileDescription& description) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(AsHandle(file), &info)) return Failure();
  description.Identity =
      FileIdentity{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  description.Length = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return Status{};
}

Status PlatformFileSystem::DescribeName(const char* name, FileDescription& description) {
  // No access rights are asked for: this only looks at the file.
  const HANDLE handle = ::CreateFileA(AnsiName(name).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return NotFoundAsSuch(Failure());
  const Status described = Describe(reinterpret_cast<FileHandle>(handle), description);
  ::CloseHandle(handle);
  return described;
}

Status PlatformFileSystem::Lock(FileHandle file, LockMode mode) {
  if (mode == LockMode::Unlocked) {
    LockRange range = RangeOf(mode);
    if (::UnlockFileEx(AsHandle(file), 0, range.Low, range.High, &range.At)) return Status{};
    const DWORD error = ::GetLastError();
    return error == ERROR_NOT_LOCKED ? Status{} : Status{static_cast<int>(error)};
  }
  const ULONGLONG deadline = ::GetTickCount64() + (mode == LockMode::Run ? kRunQueueWaitMs : lock_wait_ms_);
  for (;;) {
    DWORD error = 0;
    if (TryLock(AsHandle(file), mode, error)) return Status{};
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) return Status{static_cast<int>(error)};
    if (::GetTickCount64() >= deadline) return Status{kLockViolation};
    ::Sleep(10);
  }
}

void PlatformFileSystem::WaitAWhile() { ::Sleep(lock_wait_ms_); }

Status PlatformFileSystem::OpenJournal(const char* name, Access access, FileHandle, FileHandle& opened) {
  const HANDLE journal = ::CreateFileA(AnsiName(name).c_str(), RightsFor(access),
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (journal == INVALID_HANDLE_VALUE) return NotFoundAsSuch(Failure());
  BY_HANDLE_FILE_INFORMATION info{};
  int code = TypeCheck(journal, kNotARegularFile);
  if (!::GetFileInformationByHandle(journal, &info)) code = LastError();
  else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) code = kSymbolicLink;
  else if (code == 0 && info.nNumberOfLinks != 1) code = kMoreThanOneLink;
  return KeepIfChecked(journal, code, opened);
}

// The journal takes the access list of its file, Win32's counterpart of
// its permission bits; where that is refused, no journal is left (it would
// keep the folder's, which may be wider) and the store stops. One left at
// the name is taken over where this user may write it.
Status PlatformFileSystem::CreateJournal(const char* name, FileHandle like, FileHandle& created) {
  const DWORD rights = GENERIC_READ | GENERIC_WRITE | WRITE_DAC;
  const HANDLE made =
      ::CreateFileA(AnsiName(name).c_str(), rights, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  FileHandle journal = reinterpret_cast<FileHandle>(made);
  if (made == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) return Failure();
  if (made == INVALID_HANDLE_VALUE) {
    const Status status = OpenJournal(name, Access::ReadWrite, like, journal);
    if (!status.ok()) return Status{status.Code == ERROR_ACCESS_DENIED ? kFileExists : status.Code};
    if (!::SetEndOfFile(AsHandle(journal))) return KeepIfChecked(AsHandle(journal), LastError(), journal);
  }
  PACL access_list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD given = ::GetSecurityInfo(AsHandle(like), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  &access_list, nullptr, &descriptor);
  if (given == ERROR_SUCCESS) {
    given = ::SetSecurityInfo(AsHandle(journal), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              access_list, nullptr);
    ::LocalFree(descriptor);
  }
  if (given != ERROR_SUCCESS) {
    ::CloseHandle(AsHandle(journal));
    ::DeleteFileA(AnsiName(name).c_str());
    return Status{static_cast<int>(given)};
  }
  created = journal;
  return Status{};
}

// Win32 cannot sync a folder (FlushFileBuffers on one needs backup
// semantics); Remove stands in for it.
Status PlatformFileSystem::SyncFolder(const char*, FileHandle) { return Status{}; }

// The journal's first bytes are zeroed and flushed before it is deleted: a
// deletion lost to a power cut brings back a journal that is no longer
// complete, which the next run discards instead of applying.
Status PlatformFileSystem::Remove(const char* name) {
  const AnsiPath ansi_name = AnsiName(name);
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
    if (error != 0) return Status{error};
  }
  return ::DeleteFileA(ansi_name.c_str()) ? Status{} : Failure();
}

// Whether the journal may be removed is up to its access list and the
// folder's, which only an attempt tells; a refusal spends it instead.
// Windows itself matches names without regard to case.
Status PlatformFileSystem::MatchNames(const char* name, NameMatches& matches) {
  std::snprintf(matches.Names[0], NameMatches::kNameCapacity, "%s", name);
  matches.Count = 1;
  return Status{};
}

bool PlatformFileSystem::MayRemove(const char*) { return true; }

bool PlatformFileSystem::MayCreateBeside(const char*) { return true; }

}  // namespace kovo
