// Holds the terminating signals (Ctrl-C, Ctrl-\, hang-up, termination) for
// the lifetime of the object, so that a store cannot be torn by them; any
// that arrived take their default action once the hold is released.
#pragma once

#include <signal.h>

namespace kovo {

class SignalHold {
 public:
  SignalHold();
  ~SignalHold();
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace kovo
