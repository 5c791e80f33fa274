#include <windows.h>

#include "directory/signal_hold.h"

namespace kovo {
namespace {

// The console calls its control handlers on a thread of its own, newest
// first. While a hold stands, its handler keeps that thread waiting until the
// hold is released, then passes the event on, so the default action follows.
// The handler has no context argument, so the event it waits for is the
// process's one; it is never closed, so a late handler cannot wait on a
// stale handle.
HANDLE ReleaseEvent() {
  static const HANDLE event = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
  return event;
}

BOOL WINAPI WaitForRelease(DWORD) {
  ::WaitForSingleObject(ReleaseEvent(), INFINITE);
  return FALSE;
}

}  // namespace

SignalHold::SignalHold() : released_(ReleaseEvent()) {
  ::ResetEvent(static_cast<HANDLE>(released_));
  ::SetConsoleCtrlHandler(WaitForRelease, TRUE);
}

SignalHold::~SignalHold() {
  ::SetEvent(static_cast<HANDLE>(released_));
  ::SetConsoleCtrlHandler(WaitForRelease, FALSE);
}

}  // namespace kovo
