#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

// Lets answers that wait on purpose (stalls) end at once when the server
// stops, so that stopping never waits for a stall to run out.
class TShutdownGate {
 public:
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }

  // Waits up to `duration`; false when the gate closed meanwhile.
  bool WaitFor(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !changed_.wait_for(lock, duration, [this] { return closed_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool closed_ = false;
};
