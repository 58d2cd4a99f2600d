#include "serial_session.h"
#include <memory>
#include "serial_out_connection.h"

TSerialSession::TSerialSession(IConnection* port, ISerialEnvironment& environment, IAgentTrace& trace)
    : environment_(environment), trace_(trace), link_(port, environment, trace), hosts_(environment, *this, trace) {}

// Host connections close with the session; the link closes the COM port.
TSerialSession::~TSerialSession() = default;

void TSerialSession::SendReset() {
  TSerialMessage reset;
  reset.type = MSG_RESET;
  // The reset must be the first thing the far end hears from this session.
  // Were a frame already waiting on the line read first, its acknowledgement
  // would reach the far end ahead of the reset, and a far end that had just
  // opened its own link and made a request on that acknowledgement would
  // then see the request voided by a reset sent before the request arrived.
  // Only the far end's answer to this one frame brings the link up.
  trace_.ResetSent();
  link_.SendOpening(reset.Serialize());
}

bool TSerialSession::SendMessage(const TSerialMessage& message) {
  return link_.Transmit(message.Serialize());
}

bool TSerialSession::Poll() {
  // The line first: a frame or an acknowledgement that has just come is
  // answered at once, before the sockets are looked at, so that the far
  // end's next frame, or this side's, does not wait for them.
  link_.Poll();
  bool handled = false;
  for (;;) {
    hosts_.Service();
    const TByteBuffer received = link_.TakeReceived();
    // Half a message of the far end's earlier link would swallow its reset.
    if (link_.TakeFarEndReopened()) messages_.Clear();
    messages_.Append(received);
    TSerialMessage message;
    if (!TakeSerialMessage(messages_, &message)) return handled;
    if (message.type == MSG_NONE || message.type > MSG_RESET) return handled;
    Dispatch(message);
    handled = true;
  }
}

void TSerialSession::Dispatch(const TSerialMessage& message) {
  switch (message.type) {
    case MSG_CONNECT:
    case MSG_LISTEN:
      hosts_.Open(message);
      return;
    case MSG_CLOSE:
      hosts_.Close(message.id);
      return;
    case MSG_DATA_TO_HOST:
      hosts_.Deliver(message);
      return;
    case MSG_RESET:
      HandleReset();
      return;
    default: {
      auto found = clients_.find(message.id);
      if (found != clients_.end()) found->second->Update(message);
      return;
    }
  }
}

void TSerialSession::HandleReset() {
  trace_.ResetReceived();
  for (auto& client : clients_) client.second->MarkClosed();
  hosts_.CloseAll(THostClose::PinpadReset);
}

void TSerialSession::Watch(IIoWait& wait) {
  link_.Watch(wait);
  hosts_.Watch(wait);
}

bool TSerialSession::WaitLink() {
  std::unique_ptr<ITimer> timer(environment_.CreateTimer(kLinkWait));
  while (link_.IsDown() && !timer->IsExpired()) {
    Poll();
    environment_.Idle();
  }
  return !link_.IsDown();
}

void TSerialSession::RegisterClient(uint32_t id, TSerialOutConnection* connection) {
  clients_[id] = connection;
}

void TSerialSession::UnregisterClient(uint32_t id, TSerialOutConnection* connection) {
  auto found = clients_.find(id);
  if (found != clients_.end() && found->second == connection) clients_.erase(found);
}

void TSerialSession::RegisterListener(uint16_t port, TLoopbackConnection* listener) {
  listeners_[port] = listener;
}

void TSerialSession::UnregisterListener(uint16_t port, TLoopbackConnection* listener) {
  auto found = listeners_.find(port);
  if (found != listeners_.end() && found->second == listener) listeners_.erase(found);
}
