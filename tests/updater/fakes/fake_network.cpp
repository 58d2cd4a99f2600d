#include "fake_network.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "net/waitable_connection.h"

class TFakeConnection final : public IConnection, public IWaitableConnection {
 public:
  TFakeConnection(TFakeNetwork& network, uint32_t number) : network_(network), number_(number) {}

  int32_t Send(const void* data, uint32_t length) override {
    if (reset_) return -1;
    request_.append(static_cast<const char*>(data), length);
    if (!answered_ && RequestComplete()) {
      answered_ = true;
      if (network_.silentFromConnection == 0 || number_ < network_.silentFromConnection) {
        answer_ = network_.respond_(request_);
      }
    }
    return static_cast<int32_t>(length);
  }

  int32_t Receive(void* buffer, uint32_t size) override {
    if (reset_) return -1;
    if (!answered_ || Silent()) return 0;
    if (stalledSince_) return ClosedAfterStall() ? -1 : 0;
    if (position_ == answer_.size()) return -1;  // the server has closed
    size_t count = std::min<size_t>(size, answer_.size() - position_);
    if (network_.stallAtByte != 0 && network_.answered_ + count >= network_.stallAtByte) {
      count = static_cast<size_t>(network_.stallAtByte - 1 - network_.answered_);
      if (count == 0) {
        network_.stallAtByte = 0;  // this connection only
        stalledSince_ = network_.clock_;
        return 0;
      }
    }
    if (network_.resetAtByte != 0 && network_.answered_ + count >= network_.resetAtByte) {
      count = static_cast<size_t>(network_.resetAtByte - 1 - network_.answered_);
      if (count == 0) {
        reset_ = true;
        return -1;
      }
    }
    std::memcpy(buffer, answer_.data() + position_, count);
    position_ += count;
    network_.answered_ += count;
    return static_cast<int32_t>(count);
  }

  // Sleeps until the stalled server's close, or for the whole time when
  // nothing is to come.
  bool WaitUntilReady(TConnectionWait what, uint32_t milliseconds) override {
    const bool waiting = what == TConnectionWait::Receive && answered_ && !reset_ &&
                         (Silent() || (stalledSince_ && !ClosedAfterStall()));
    if (!waiting) return true;
    uint64_t until = network_.clock_ + milliseconds;
    if (stalledSince_ && network_.closeAfterStall != 0) {
      until = std::min<uint64_t>(until, *stalledSince_ + network_.closeAfterStall);
    }
    network_.clock_ = until;
    return stalledSince_ && ClosedAfterStall();
  }

  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return reset_ ? CONNECTION_CLOSED : CONNECTION_CONNECTED; }
  TResult GetLastResult() override { return reset_ ? TResult(RESULT_SOCKET_IO_ERROR, ECONNRESET) : TResult(); }

 private:
  // The head and as many body bytes as its Content-Length announces.
  bool RequestComplete() const {
    const size_t end = request_.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    const size_t length = request_.find("Content-Length: ");
    const size_t body = length < end ? std::strtoul(request_.c_str() + length + 16, nullptr, 10) : 0;
    return request_.size() >= end + 4 + body;
  }

  bool Silent() const { return network_.silentFromConnection != 0 && number_ >= network_.silentFromConnection; }
  bool ClosedAfterStall() const {
    return network_.closeAfterStall != 0 && network_.clock_ >= *stalledSince_ + network_.closeAfterStall;
  }

  TFakeNetwork& network_;
  uint32_t number_;
  std::optional<uint64_t> stalledSince_;
  std::string request_;
  std::string answer_;
  size_t position_ = 0;
  bool answered_ = false;
  bool reset_ = false;
};

TResult TFakeNetwork::Connect(const TNetAddress&, IConnection** out) {
  *out = new TFakeConnection(*this, ++connections_);
  return TResult();
}

TResult TFakeNetwork::Listen(uint16_t, IConnection** out) {
  *out = nullptr;
  return TResult(RESULT_NOT_SUPPORTED);
}
