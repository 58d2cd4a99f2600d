#include "serial_network_interface.h"
#include "loopback_connection.h"
#include "rs232_interface.h"
#include "serial_out_connection.h"
#include "serial_session.h"

TSerialNetworkInterface::TSerialNetworkInterface(uint16_t comPort)
    : environment_(systemEnvironment_), comPort_(comPort) {}

TSerialNetworkInterface::TSerialNetworkInterface(uint16_t comPort, ISerialEnvironment& environment)
    : environment_(environment), comPort_(comPort) {}

TSerialNetworkInterface::~TSerialNetworkInterface() { Close(); }

TResult TSerialNetworkInterface::Open() { return OpenLink(true); }

void TSerialNetworkInterface::Close() {
  session_.reset();
  port_ = nullptr;
}

int32_t TSerialNetworkInterface::GetState() { return session_ ? NETWORK_READY : NETWORK_FAILED; }

TResult TSerialNetworkInterface::OpenLink(bool wait) {
  if (session_) return TResult();
  auto* serialPorts = dynamic_cast<IRS232Interface*>(environment_.GetDevice(DEVICE_RS232, comPort_));
  if (!serialPorts) {
    trace_->PortNotOpened(comPort_, TResult(RESULT_LINK_NOT_OPEN));
    return TResult(RESULT_LINK_NOT_OPEN);
  }
  TRS232Settings settings;
  settings.port = comPort_;
  IConnection* port = nullptr;
  // The connection alone tells whether the port opened; the result tells
  // the trace why not.
  const TResult opened = serialPorts->OpenPort(settings, &port);
  if (!port) {
    trace_->PortNotOpened(comPort_, opened.GetCode() != 0 ? opened : TResult(RESULT_LINK_NOT_OPEN));
    return TResult(RESULT_LINK_NOT_OPEN);
  }
  trace_->PortOpened(comPort_);

  session_ = std::make_shared<TSerialSession>(port, environment_, *trace_);
  port_ = port;
  session_->SendReset();
  if (wait && !session_->WaitLink()) Close();
  return session_ ? TResult() : TResult(RESULT_LINK_NOT_OPEN);
}

void TSerialNetworkInterface::Poll() {
  if (session_) session_->Poll();
}

void TSerialNetworkInterface::Watch(IIoWait& wait) {
  if (session_) session_->Watch(wait);
}

bool TSerialNetworkInterface::PortFailed(TResult* why) {
  if (!session_ || port_->GetState() != CONNECTION_CLOSED) return false;
  *why = port_->GetLastResult();
  return true;
}

TResult TSerialNetworkInterface::Connect(const TNetAddress& target, IConnection** out) {
  if (!out) return TResult(RESULT_INVALID_ARGUMENT);
  *out = nullptr;
  OpenLink(true);
  if (!session_) return TResult(RESULT_NO_NETWORK);
  const uint32_t id = ++lastConnectionId_;
  *out = new TSerialOutConnection(session_, id);
  TSerialMessage connect;
  connect.type = MSG_CONNECT;
  connect.id = id;
  connect.address = target.address;
  connect.port = target.port;
  session_->SendMessage(connect);
  return TResult();
}

TResult TSerialNetworkInterface::Listen(uint16_t port, IConnection** out) {
  if (!out) return TResult(RESULT_INVALID_ARGUMENT);
  *out = nullptr;
  OpenLink(true);
  if (!session_) return TResult(RESULT_NO_NETWORK);
  const uint32_t id = ++lastConnectionId_;
  if (port < kFirstRemoteListenPort) {
    *out = new TLoopbackConnection(session_, port);
    return TResult();
  }
  *out = new TSerialOutConnection(session_, id);
  TSerialMessage listen;
  listen.type = MSG_LISTEN;
  listen.id = id;
  listen.port = port;
  session_->SendMessage(listen);
  return TResult();
}

TResult TSerialNetworkInterface::ResolveHost(const char*, IpAddress* out) {
  if (out) *out = 0x7F000001;
  return TResult();
}
