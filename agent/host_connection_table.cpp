#include "host_connection_table.h"

THostConnectionTable::THostConnectionTable(ISerialEnvironment& environment, ISerialMessageSender& sender,
                                           IAgentTrace& trace)
    : environment_(environment), sender_(sender), trace_(trace) {}

THostConnectionTable::~THostConnectionTable() {
  CloseAll(THostClose::PortClosed);
  for (TClosingHost& closing : closing_) EndClosing(closing, THostClose::PortClosed);
}

void THostConnectionTable::SendClosed(uint32_t id) {
  TSerialMessage closed;
  closed.type = MSG_CLOSED;
  closed.id = id;
  sender_.SendMessage(closed);
}

void THostConnectionTable::Forget(std::map<uint32_t, THostConnection>::iterator entry, THostClose why) {
  const THostConnection& host = entry->second;
  trace_.ConnectionClosed(entry->first, why, host.connection->GetLastResult(), host.toHost, host.toFarEnd);
  connections_.erase(entry);
}

void THostConnectionTable::CloseAll(THostClose why) {
  while (!connections_.empty()) Forget(connections_.begin(), why);
}

void THostConnectionTable::Open(const TSerialMessage& request) {
  if (request.type == MSG_CONNECT) {
    trace_.ConnectAsked(request.id, request.address, request.port);
  } else {
    trace_.ListenAsked(request.id, request.port);
  }
  auto replaced = connections_.find(request.id);
  if (replaced != connections_.end()) Forget(replaced, THostClose::Replaced);
  TResult result(RESULT_NO_NETWORK);
  IConnection* connection = nullptr;
  // Opened by the agent's loop with the serial link; not opened here.
  auto* network = dynamic_cast<INetworkInterface*>(environment_.GetDevice(DEVICE_ETHERNET, 0));
  if (connections_.size() + closing_.size() >= kMaxConnections) {
    result = TResult(RESULT_SOCKET_NO_SOCKET);
  } else if (network) {
    if (request.type == MSG_CONNECT) {
      TNetAddress target;
      target.address = request.address;
      target.port = request.port;
      result = network->Connect(target, &connection);
    } else {
      result = network->Listen(request.port, &connection);
    }
  }
  if (connection) {
    THostConnection& host = connections_[request.id];
    host.connection.reset(connection);
    host.reportState = request.type == MSG_CONNECT ? CONNECTION_CONNECTING : CONNECTION_LISTENING;
  }
  if (result.GetCode() != 0) {
    connections_.erase(request.id);
    TSerialMessage status;
    status.type = MSG_STATUS;
    status.id = request.id;
    status.code = result.GetCode();
    trace_.StatusSent(request.id, status.code);
    sender_.SendMessage(status);
  }
}

void THostConnectionTable::Drop(uint32_t id, THostClose why) {
  auto found = connections_.find(id);
  if (found != connections_.end()) Forget(found, why);
  SendClosed(id);
}

void THostConnectionTable::Close(uint32_t id) {
  auto found = connections_.find(id);
  if (found == connections_.end()) return;
  if (found->second.unsent.Empty()) {
    Forget(found, THostClose::ByPinpad);
    return;
  }
  // Everything the far end sent before its close is the host's.
  closing_.push_back({id, std::move(found->second), std::unique_ptr<ITimer>(environment_.CreateTimer(kCloseFlushTime))});
  connections_.erase(found);
}

void THostConnectionTable::EndClosing(TClosingHost& closing, THostClose why) {
  THostConnection& host = closing.host;
  if (!host.unsent.Empty()) trace_.DataUndelivered(closing.id, host.unsent.Length());
  // What the host sent meanwhile is read away: a socket closed with bytes
  // unread is reset, and a reset may cost the host the end of what it got.
  uint8_t buffer[kMaxChunk];
  for (size_t drained = 0; drained < kMaxUnsent;) {
    const int32_t n = host.connection->Receive(buffer, kMaxChunk);
    if (n <= 0) break;
    drained += static_cast<size_t>(n);
  }
  trace_.ConnectionClosed(closing.id, why, host.connection->GetLastResult(), host.toHost, host.toFarEnd);
  host.connection.reset();
}

void THostConnectionTable::ServiceClosing() {
  for (auto it = closing_.begin(); it != closing_.end();) {
    THostClose why = THostClose::ByPinpad;
    const bool open = Flush(it->host, &why);
    if (open && !it->host.unsent.Empty() && !it->deadline->IsExpired()) {
      ++it;
      continue;
    }
    if (open && !it->host.unsent.Empty()) why = THostClose::FlushTimedOut;
    EndClosing(*it, why);
    it = closing_.erase(it);
  }
}

bool THostConnectionTable::Flush(THostConnection& host, THostClose* why) {
  if (host.unsent.Empty()) return true;
  const int32_t sent = host.connection->Send(host.unsent.Data(), static_cast<uint32_t>(host.unsent.Length()));
  if (sent < 0) {
    *why = THostClose::WriteFailed;
    return false;
  }
  host.unsent.RemoveFront(static_cast<size_t>(sent));
  host.toHost += static_cast<uint64_t>(sent);
  if (host.unsent.Length() > kMaxUnsent) {
    *why = THostClose::HostTooSlow;
    return false;
  }
  return true;
}

void THostConnectionTable::Deliver(const TSerialMessage& message) {
  auto found = connections_.find(message.id);
  if (found == connections_.end()) {
    trace_.UnknownConnection(message.id);
    SendClosed(message.id);
    return;
  }
  // Behind whatever an earlier write left over, so the stream stays in order.
  found->second.unsent.Append(message.data);
  THostClose why;
  if (!Flush(found->second, &why)) {
    Forget(found, why);
    SendClosed(message.id);
  }
}

int32_t THostConnectionTable::Relay(uint32_t id, THostConnection& host, THostClose* why) {
  uint8_t buffer[kMaxChunk];
  while (sender_.GetBacklog() < kMaxBacklog) {
    const int32_t n = host.connection->Receive(buffer, kMaxChunk);
    if (n == 0) return CONNECTION_CONNECTED;
    if (n < 0) {
      *why = THostClose::ByHost;
      return CONNECTION_CLOSED;
    }
    TSerialMessage data;
    data.type = MSG_DATA_TO_CLIENT;
    data.id = id;
    data.data = TByteBuffer(static_cast<size_t>(n), buffer);
    passStart_ = id + 1;
    host.toFarEnd += static_cast<uint64_t>(n);
    if (!sender_.SendMessage(data)) {
      *why = THostClose::LinkDown;
      return CONNECTION_CLOSED;
    }
  }
  return CONNECTION_CONNECTED;
}

void THostConnectionTable::Watch(IIoWait& wait) {
  const bool room = sender_.GetBacklog() < kMaxBacklog;
  for (auto& entry : connections_) {
    THostConnection& host = entry.second;
    if (auto* socket = dynamic_cast<IWaitable*>(host.connection.get())) {
      socket->Watch(wait, room, !host.unsent.Empty());
    }
  }
  for (TClosingHost& closing : closing_) {
    if (auto* socket = dynamic_cast<IWaitable*>(closing.host.connection.get())) socket->Watch(wait, false, true);
    const uint32_t elapsed = closing.deadline->GetElapsed();
    wait.Within(elapsed >= kCloseFlushTime ? 0 : kCloseFlushTime - elapsed);
  }
}

void THostConnectionTable::Service() {
  if (!closing_.empty()) ServiceClosing();
  auto it = connections_.lower_bound(passStart_);
  for (size_t left = connections_.size(); left != 0; --left, ++it) {
    if (it == connections_.end()) it = connections_.begin();
    const uint32_t id = it->first;
    THostConnection& host = it->second;
    int32_t state = host.connection->GetState();
    // A connection that goes before it was reported never connected.
    THostClose why = host.reportState == CONNECTION_CONNECTING ? THostClose::ConnectFailed : THostClose::ByHost;
    if (state == CONNECTION_CONNECTED) {
      if (host.reportState != CONNECTION_CONNECTED) {
        TSerialMessage report;
        report.id = id;
        if (host.reportState == CONNECTION_CONNECTING) {
          report.type = MSG_STATUS;
          report.code = 0;
          trace_.StatusSent(id, 0);
        } else {
          report.type = MSG_ACCEPTED;
          report.address = host.connection->GetPeerAddress();
          trace_.PeerAccepted(id, report.address);
        }
        sender_.SendMessage(report);
        host.reportState = CONNECTION_CONNECTED;
      }
      state = Flush(host, &why) ? Relay(id, host, &why) : CONNECTION_CLOSED;
    }
    if (state == CONNECTION_CLOSED) {
      Forget(it, why);
      SendClosed(id);
      return;
    }
  }
}
