#include "system/timer.h"

TPCTimer::TPCTimer(uint32_t milliseconds, TTickSource ticks) : ticks_(ticks) { Restart(milliseconds); }

uint32_t TPCTimer::GetTicks() { return ticks_(); }

void TPCTimer::Restart(uint32_t milliseconds) {
  start_ = GetTicks();
  end_ = start_ + milliseconds;  // wraps with the counter
}

bool TPCTimer::IsExpired() {
  const uint32_t now = GetTicks();
  // The timer runs while now lies in [start, end) on the circle of 2^32
  // ticks; a running interval may straddle the counter's wrap.
  const bool running = end_ >= start_ ? (now >= start_ && now < end_) : (now >= start_ || now < end_);
  return !running;
}

uint32_t TPCTimer::GetElapsed() {
  const uint32_t now = GetTicks();
  if (now >= start_) return now - start_;
  return (0xFFFFFFFFu - start_) + now;
}
