#pragma once
#include <cstdint>
#include <memory>
#include "net/network.h"

class TSerialSession;

// What the serial network interface hands out for a listen on a port below
// 4096: a local listener, held in its session's listener table. Nothing in
// this system ever gives it a peer, so it stays listening and carries no
// data; once its session is gone it answers as closed.
class TLoopbackConnection : public IConnection {
 public:
  // Registers itself in the session's listener table under the port.
  TLoopbackConnection(const std::shared_ptr<TSerialSession>& session, uint16_t port);
  // Leaves the listener table.
  ~TLoopbackConnection() override;
  TLoopbackConnection(const TLoopbackConnection&) = delete;
  TLoopbackConnection& operator=(const TLoopbackConnection&) = delete;

  int32_t Send(const void*, uint32_t) override { return -1; }
  int32_t Receive(void*, uint32_t) override { return -1; }
  uint32_t GetPeerAddress() override { return 0x7F000001; }
  int32_t GetState() override { return session_.expired() ? CONNECTION_CLOSED : CONNECTION_LISTENING; }
  TResult GetLastResult() override { return TResult(); }

 private:
  std::weak_ptr<TSerialSession> session_;
  uint16_t port_;
};
