// What a call, a load or a store came to.
#pragma once

namespace kovo {

// The steps of a run that can fail, in order: taking its memory, rolling back
// a store that was cut off, the load (opening, reading) and the store.
enum class Step { None, Memory, Recover, Open, Read, Reopen, Journal, Write, Sync, Close };

// Code 0 on success, otherwise the failure's code in the numbering of the
// platform the file format comes from (2 not found, 5 access denied, 8 not
// enough memory, 112 disk full, ...); for a load or a store, also the step
// that failed. A call that has more to give back (a handle, a count of
// bytes) gives it through an out parameter.
struct [[nodiscard]] Status {
  int Code = 0;
  Step Failed = Step::None;
  bool ok() const { return Code == 0; }
};

// The codes with a name of their own.
inline constexpr int kFileNotFound = 2;
inline constexpr int kAccessDenied = 5;
inline constexpr int kNotEnoughMemory = 8;
inline constexpr int kWriteProtected = 19;
// The code of a file that is no longer the one the run loaded.
inline constexpr int kSharingViolation = 32;
// The code a lock that stayed held by another program past the wait reports.
inline constexpr int kLockViolation = 33;
inline constexpr int kFileExists = 80;
// Why a journal, or a link at the file's name, is not trusted.
inline constexpr int kNotARegularFile = 222;
inline constexpr int kMoreThanOneLink = 1142;
inline constexpr int kUntrustedOwner = 1307;
inline constexpr int kSymbolicLink = 1921;
// A journal whose check fails beside a file that no longer holds its bytes
// from before: it cannot be judged, so it is kept.
inline constexpr int kFileCorrupt = 1392;
// The codes of a transfer that stopped short.
inline constexpr int kShortRead = 100;
inline constexpr int kShortWrite = 101;

// The same failure, as the given step's.
inline Status AtStep(Step step, Status status) { return status.ok() ? status : Status{status.Code, step}; }

}  // namespace kovo
