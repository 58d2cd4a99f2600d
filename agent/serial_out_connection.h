#pragma once
#include <cstdint>
#include <memory>
#include "files/byte_buffer.h"
#include "net/network.h"
#include "serial_message.h"

class TSerialSession;

// A connection that the far end of the serial link makes on this side's
// request (a connect, or a listen on a port of 4096 and up). Every operation
// pumps the session itself. Once the session is gone the connection answers
// as closed and never reaches for it again.
class TSerialOutConnection : public IConnection {
 public:
  // Registers itself in the session under the id.
  TSerialOutConnection(const std::shared_ptr<TSerialSession>& session, uint32_t id);
  // Asks the far end to close a connection still open, then unregisters.
  ~TSerialOutConnection() override;
  TSerialOutConnection(const TSerialOutConnection&) = delete;
  TSerialOutConnection& operator=(const TSerialOutConnection&) = delete;

  // Hands over at most one message's worth of data.
  int32_t Send(const void* data, uint32_t length) override;
  // Data that arrived before a close is still delivered.
  int32_t Receive(void* buffer, uint32_t size) override;
  uint32_t GetPeerAddress() override { return peerAddress_; }
  int32_t GetState() override;
  TResult GetLastResult() override { return TResult(lastCode_); }

  // What the far end reports about the connection.
  void Update(const TSerialMessage& message);
  void MarkClosed() { state_ = CONNECTION_CLOSED; }

 private:
  std::weak_ptr<TSerialSession> session_;
  TByteBuffer received_;
  uint32_t id_;
  IpAddress peerAddress_ = 0;
  int32_t lastCode_ = RESULT_NOT_YET_REPORTED;
  int32_t state_ = CONNECTION_CONNECTING;
};
