#pragma once
#include <atomic>
#include <cstdint>

// What the whole process shares: the configured COM port and the request to
// stop. The stop request is written from the service control thread or a
// signal handler while the relay loop reads it, so it is a lock-free atomic
// byte (safe in a signal handler, no lock to deadlock on).
class TAgentState {
 public:
  explicit TAgentState(uint16_t comPort) : comPort_(comPort) {}
  TAgentState(const TAgentState&) = delete;
  TAgentState& operator=(const TAgentState&) = delete;

  // 0 means no port is configured.
  uint16_t GetComPort() const { return comPort_; }
  bool IsStopRequested() const { return stop_.load(std::memory_order_relaxed) != 0; }
  void RequestStop() { stop_.store(1, std::memory_order_relaxed); }

 private:
  static_assert(std::atomic<uint8_t>::is_always_lock_free,
                "the stop flag is set from signal handlers and must not take a lock");
  std::atomic<uint8_t> stop_{0};
  const uint16_t comPort_;
};

// The process-wide state. The first call reads the COM port from pinpad.ini;
// a later change of the file takes effect only after a restart.
TAgentState& GetAgentState();
