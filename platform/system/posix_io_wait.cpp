#include <poll.h>

#include <vector>

#include "system/io_wait.h"

class TIoWait::TPlatform {
 public:
  std::vector<pollfd> watched;
};

TIoWait::TIoWait() : platform_(new TPlatform) {}

TIoWait::~TIoWait() = default;

void TIoWait::Begin(uint32_t milliseconds) {
  limit_ = milliseconds;
  readyNow_ = false;
  platform_->watched.clear();
}

void TIoWait::WatchSocket(TSocket socket, bool readable, bool writable, bool) {
  // Errors and hang-ups wake poll() whatever is asked for; a connect that
  // comes through makes the socket writable.
  const short events = static_cast<short>((readable ? POLLIN : 0) | (writable ? POLLOUT : 0));
  platform_->watched.push_back({static_cast<int>(socket), events, 0});
}

void TIoWait::WatchObject(TWaitObject object) {
  platform_->watched.push_back({static_cast<int>(object), POLLIN, 0});
}

void TIoWait::Within(uint32_t milliseconds) {
  if (milliseconds < limit_) limit_ = milliseconds;
  if (milliseconds == 0) readyNow_ = true;
}

bool TIoWait::Wait() {
  if (readyNow_) return true;
  std::vector<pollfd>& watched = platform_->watched;
  const int timeout = limit_ > INT32_MAX ? INT32_MAX : static_cast<int>(limit_);
  // An interrupted wait (a stop signal, for one) just ends early.
  return ::poll(watched.data(), watched.size(), timeout) > 0;
}
