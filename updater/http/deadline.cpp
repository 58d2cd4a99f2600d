#include "http/deadline.h"

#include <algorithm>

#include "updater_system.h"

TDeadline::TDeadline(IUpdaterSystem& system, uint32_t milliseconds)
    : timer_(system.CreateTimer(milliseconds)), milliseconds_(milliseconds) {}

uint32_t TDeadline::Left() {
  if (timer_->IsExpired()) return 0;
  const uint32_t elapsed = timer_->GetElapsed();
  return elapsed < milliseconds_ ? milliseconds_ - elapsed : 0;
}

uint32_t TimeToWait(TDeadline& first, TDeadline* second) {
  const uint32_t left = second ? std::min(first.Left(), second->Left()) : first.Left();
  return std::max<uint32_t>(left, 1);
}
