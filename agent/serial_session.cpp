#include "serial_session.h"
#include <memory>
#include <set>
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
    size_t resumedAt = TSerialLink::kNowhere;
    TByteBuffer received = link_.TakeReceived(&resumedAt);
    if (link_.TakeFarEndReopened()) {
      // Half a message of the far end's earlier link would swallow its reset.
      messages_.Clear();
    } else if (resumedAt != TSerialLink::kNowhere) {
      messages_.Append(received.Sub(0, resumedAt));
      received.RemoveFront(resumedAt);
      DropAbandonedMessage();
    }
    messages_.Append(received);
    // Before the hosts are looked at: what they hand over now must not
    // follow a hole in the stream.
    HandleLinkLosses();
    TSerialMessage message;
    const bool taken = TakeSerialMessage(messages_, &message) && message.type != MSG_NONE && message.type <= MSG_RESET;
    // A reset is handled before the hosts of the connections it voids are
    // read again.
    if (taken) Dispatch(message);
    hosts_.Service();
    if (!taken) {
      HandleLinkLosses();
      return handled;
    }
    handled = true;
  }
}

void TSerialSession::DropAbandonedMessage() {
  size_t start = 0;
  for (;;) {
    const size_t left = messages_.Length() - start;
    if (left < 2) break;
    const size_t whole = 2 + ((size_t{messages_[start]} << 8) | messages_[start + 1]);
    if (left < whole) break;
    start += whole;
  }
  const size_t received = messages_.Length() - start;
  if (received == 0) return;
  const TByteBuffer part = messages_.Sub(start);
  messages_ = messages_.Sub(0, start);
  const size_t length = received >= 2 ? 2 + ((size_t{part[0]} << 8) | part[1]) : 0;
  // Type and id are there from the seventh byte on.
  constexpr size_t kHead = 7;
  const uint32_t id = received >= kHead ? (uint32_t{part[3]} << 24) | (uint32_t{part[4]} << 16) |
                                              (uint32_t{part[5]} << 8) | part[6]
                                        : 0;
  trace_.MessageAbandoned(id, received, length);
  if (received >= kHead) CloseLost(part[2], id, true, THostClose::MessageLost);
}

void TSerialSession::CloseLost(uint8_t type, uint32_t id, bool fromFarEnd, THostClose why) {
  if (type == MSG_NONE || type >= MSG_RESET) return;
  const bool request = type == MSG_CONNECT || type == MSG_LISTEN || type == MSG_CLOSE || type == MSG_DATA_TO_HOST;
  // The far end's requests and this side's answers belong to host
  // connections; the rest to this side's clients.
  if (request == fromFarEnd) {
    hosts_.Drop(id, why);
    return;
  }
  auto client = clients_.find(id);
  if (client != clients_.end()) client->second->MarkClosed();
}

void TSerialSession::HandleLinkLosses() {
  if (link_.TakeReopened()) {
    // The far end hears this side's reset: every connection of the link
    // before is void on both sides.
    for (auto& client : clients_) client.second->MarkClosed();
    hosts_.CloseAll(THostClose::LinkReopened);
  }
  TByteBuffer dropped = link_.TakeDropped();
  std::set<uint32_t> closed;
  TSerialMessage message;
  while (TakeSerialMessage(dropped, &message)) {
    if (closed.insert(message.id).second) CloseLost(message.type, message.id, false, THostClose::LinkDown);
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
