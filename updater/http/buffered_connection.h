#pragma once
#include <cstdint>
#include <memory>

#include "net/network.h"
#include "net/waitable_connection.h"

class IUpdaterSystem;

// A read buffer in front of a connection, so that the HTTP client's
// byte-at-a-time line reading costs a copy instead of a socket call. Large
// reads bypass the buffer. Waiting on it waits on the connection inside.
class TBufferedConnection : public IConnection, public IWaitableConnection {
 public:
  // Takes ownership of inner. A send that makes no progress for
  // sendStallMilliseconds gives up (a peer that never reads would otherwise
  // hold the client for ever). Waits and time limits are the system's.
  TBufferedConnection(IConnection* inner, uint32_t sendStallMilliseconds, IUpdaterSystem& system);
  // The same on the process's own system.
  TBufferedConnection(IConnection* inner, uint32_t sendStallMilliseconds);

  // Sends everything or stops at the first failure; the count taken. While
  // the peer takes nothing it waits for room.
  int32_t Send(const void* data, uint32_t length) override;
  // Buffered bytes first; an empty buffer is refilled (answering 0, so the
  // caller asks again) unless the caller's buffer is large enough to read
  // into directly. Negative for good once a refill failed.
  int32_t Receive(void* buffer, uint32_t size) override;
  uint32_t GetPeerAddress() override { return inner_->GetPeerAddress(); }
  int32_t GetState() override { return inner_->GetState(); }
  TResult GetLastResult() override { return inner_->GetLastResult(); }
  // Returns at once while buffered bytes (or a failed refill) wait to be
  // received.
  bool WaitUntilReady(TConnectionWait what, uint32_t milliseconds) override;
  // Whether the next Receive answers from the buffer (bytes, or the failure
  // of the last refill) without asking the connection inside.
  bool HasBuffered() const { return fill_ < 0 || position_ < static_cast<uint32_t>(fill_); }

  static constexpr uint32_t kBufferSize = 8192;
  // Reads at least this large go straight to the inner connection.
  static constexpr uint32_t kDirectReadSize = 4096;

 private:
  IUpdaterSystem& system_;
  std::unique_ptr<IConnection> inner_;
  uint32_t sendStallMilliseconds_;
  uint8_t buffer_[kBufferSize];
  int32_t fill_ = 0;
  uint32_t position_ = 0;
};

// One turn of a loop that waits on `connection`: blocks on it up to
// `milliseconds` when it can be waited on, else takes the system's idle step.
// False only when the time ran out with nothing to do.
bool AwaitConnection(IUpdaterSystem& system, IConnection& connection, TConnectionWait what, uint32_t milliseconds);
