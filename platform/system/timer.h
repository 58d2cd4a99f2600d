#pragma once
#include <cstdint>

// A millisecond timer on the system's 32-bit tick counter, which wraps about
// every 49.7 days.
class ITimer {
 public:
  virtual ~ITimer() = default;
  virtual bool IsExpired() = 0;
  virtual void Restart(uint32_t milliseconds) = 0;
  virtual uint32_t GetElapsed() = 0;
  virtual uint32_t GetTicks() = 0;
};

// Where a timer reads the tick counter. Tests give a fake source so that the
// wrap-around is reached without waiting for it.
using TTickSource = uint32_t (*)();

// The operating system's millisecond tick counter; yields the processor on
// every reading.
uint32_t ReadPlatformTicks();

class TPCTimer : public ITimer {
 public:
  explicit TPCTimer(uint32_t milliseconds, TTickSource ticks = ReadPlatformTicks);
  bool IsExpired() override;
  void Restart(uint32_t milliseconds) override;
  uint32_t GetElapsed() override;
  uint32_t GetTicks() override;

 private:
  TTickSource ticks_;
  uint32_t start_ = 0;
  uint32_t end_ = 0;
};
