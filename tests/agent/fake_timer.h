#pragma once
#include <cstdint>
#include "system/timer.h"

// A timer on a clock that the test moves by hand, so waits of seconds pass
// in no time.
class FakeTimer : public ITimer {
 public:
  FakeTimer(const uint32_t& now, uint32_t milliseconds) : now_(now) { Restart(milliseconds); }
  bool IsExpired() override { return now_ - start_ >= length_; }
  void Restart(uint32_t milliseconds) override {
    start_ = now_;
    length_ = milliseconds;
  }
  uint32_t GetElapsed() override { return now_ - start_; }
  uint32_t GetTicks() override { return now_; }

 private:
  const uint32_t& now_;
  uint32_t start_ = 0;
  uint32_t length_ = 0;
};
