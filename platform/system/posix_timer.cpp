#include <sched.h>
#include <time.h>
#include "system/timer.h"

uint32_t ReadPlatformTicks() {
  // Polling loops read the clock constantly; yielding here keeps them from
  // starving other processes.
  sched_yield();
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t milliseconds =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(milliseconds);
}
