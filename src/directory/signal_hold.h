// Holds the events that would end the process at once (any signal whose
// default action ends it, Ctrl-C, Ctrl-Break, closing the console) for the
// lifetime of the object, so that a store cannot be torn by them; any that
// arrived take their default action once the hold is released.
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

namespace kovo {

class SignalHold {
 public:
  SignalHold();
  ~SignalHold();
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
#ifdef _WIN32
  void* released_;  // an event, set when the hold ends
#else
  sigset_t previous_;
#endif
};

}  // namespace kovo
