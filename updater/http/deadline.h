#pragma once
#include <cstdint>
#include <memory>

#include "system/timer.h"

class IUpdaterSystem;

// A time limit that can tell how much of it is left, so that a wait under it
// blocks until then instead of reading the clock in a loop.
class TDeadline {
 public:
  // Starts now, on the system's clock.
  TDeadline(IUpdaterSystem& system, uint32_t milliseconds);

  bool IsExpired() { return timer_->IsExpired(); }
  // The same time again from now.
  void Restart() { timer_->Restart(milliseconds_); }
  // Milliseconds left; 0 once expired.
  uint32_t Left();

 private:
  std::unique_ptr<ITimer> timer_;
  uint32_t milliseconds_;
};

// How long a wait under `first` and, when given, `second` may block: until
// the nearer one runs out, and at least 1 ms, so that a wait at the very
// edge sleeps rather than spins.
uint32_t TimeToWait(TDeadline& first, TDeadline* second);
