#include "directory/signal_hold.h"

#include <initializer_list>

namespace kovo {

SignalHold::SignalHold() {
  sigset_t held;
  sigemptyset(&held);
  for (int signal_number : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) sigaddset(&held, signal_number);
  sigprocmask(SIG_BLOCK, &held, &previous_);
}

SignalHold::~SignalHold() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace kovo
