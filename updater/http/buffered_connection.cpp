#include "http/buffered_connection.h"

#include <cstring>

#include "system/system.h"

TBufferedConnection::TBufferedConnection(IConnection* inner, uint32_t sendStallMilliseconds)
    : inner_(inner), sendStallMilliseconds_(sendStallMilliseconds) {}

int32_t TBufferedConnection::Send(const void* data, uint32_t length) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  uint32_t total = 0;
  std::unique_ptr<ITimer> stall;
  while (total < length) {
    const int32_t sent = inner_->Send(bytes + total, length - total);
    if (sent < 0) break;
    if (sent > 0) {
      total += static_cast<uint32_t>(sent);
      stall.reset();
      continue;
    }
    // The timer is made only once the peer stops taking data: the usual
    // send goes through in one call.
    if (!stall) {
      stall.reset(GetSystem()->CreateTimer(sendStallMilliseconds_));
    } else if (stall->IsExpired()) {
      break;
    }
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
