#include "loopback_connection.h"
#include "serial_session.h"

TLoopbackConnection::TLoopbackConnection(const std::shared_ptr<TSerialSession>& session, uint16_t port)
    : session_(session), port_(port) {
  session->RegisterListener(port, this);
}

TLoopbackConnection::~TLoopbackConnection() {
  if (std::shared_ptr<TSerialSession> session = session_.lock()) session->UnregisterListener(port_, this);
}
