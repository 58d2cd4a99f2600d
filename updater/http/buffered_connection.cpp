#include "http/buffered_connection.h"

#include <cstring>

#include "http/deadline.h"
#include "updater_context.h"
#include "updater_system.h"

TBufferedConnection::TBufferedConnection(IConnection* inner, uint32_t sendStallMilliseconds, IUpdaterSystem& system)
    : system_(system), inner_(inner), sendStallMilliseconds_(sendStallMilliseconds) {}

TBufferedConnection::TBufferedConnection(IConnection* inner, uint32_t sendStallMilliseconds)
    : TBufferedConnection(inner, sendStallMilliseconds, *ProcessUpdaterContext().system) {}

int32_t TBufferedConnection::Send(const void* data, uint32_t length) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  uint32_t total = 0;
  std::unique_ptr<TDeadline> stall;
  while (total < length) {
    const int32_t sent = inner_->Send(bytes + total, length - total);
    if (sent < 0) break;
    if (sent > 0) {
      total += static_cast<uint32_t>(sent);
      stall.reset();
      continue;
    }
    // The time limit is made only once the peer stops taking data: the
    // usual send goes through in one call.
    if (!stall) {
      stall = std::make_unique<TDeadline>(system_, sendStallMilliseconds_);
    } else if (stall->IsExpired()) {
      break;
    }
    AwaitConnection(system_, *inner_, TConnectionWait::Send, TimeToWait(*stall, nullptr));
  }
  return static_cast<int32_t>(total);
}

int32_t TBufferedConnection::Receive(void* buffer, uint32_t size) {
  if (fill_ < 0) return -1;
  const uint32_t left = static_cast<uint32_t>(fill_) - position_;
  if (left > 0) {
    const uint32_t count = left < size ? left : size;
    std::memcpy(buffer, buffer_ + position_, count);
    position_ += count;
    return static_cast<int32_t>(count);
  }
  if (size >= kDirectReadSize) return inner_->Receive(buffer, size);
  fill_ = inner_->Receive(buffer_, kBufferSize);
  position_ = 0;
  return 0;
}

bool TBufferedConnection::WaitUntilReady(TConnectionWait what, uint32_t milliseconds) {
  if (what == TConnectionWait::Receive && HasBuffered()) return true;
  return AwaitConnection(system_, *inner_, what, milliseconds);
}

bool AwaitConnection(IUpdaterSystem& system, IConnection& connection, TConnectionWait what, uint32_t milliseconds) {
  if (IWaitableConnection* waitable = dynamic_cast<IWaitableConnection*>(&connection)) {
    return waitable->WaitUntilReady(what, milliseconds);
  }
  system.Idle();
  return true;
}
