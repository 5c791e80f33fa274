#include "directory/signal_hold.h"

#include <initializer_list>

namespace kovo {

// Every signal is held but those the kernel raises for a fault of the
// process itself (holding those would hide a crash), and SIGKILL and
// SIGSTOP, which cannot be held; the journal covers SIGKILL.
SignalHold::SignalHold() {
  sigset_t held;
  sigfillset(&held);
  for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS}) sigdelset(&held, fault);
  sigprocmask(SIG_BLOCK, &held, &previous_);
}

SignalHold::~SignalHold() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace kovo
