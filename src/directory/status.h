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

// The same failure, as the given step's.
inline Status AtStep(Step step, Status status) { return status.ok() ? status : Status{status.Code, step}; }

}  // namespace kovo
