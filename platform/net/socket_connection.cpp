#include "net/socket_connection.h"

#include <cstring>

#include "build_flavour.h"

namespace {

// The peer address is kept as the socket API stores it, so its bytes in
// memory are the octets in order.
IpAddress StoredToIpAddress(uint32_t stored) {
  uint8_t octets[4];
  std::memcpy(octets, &stored, sizeof octets);
  return static_cast<IpAddress>(octets[0]) << 24 | static_cast<IpAddress>(octets[1]) << 16 |
         static_cast<IpAddress>(octets[2]) << 8 | octets[3];
}

}  // namespace

TSocketConnection::TSocketConnection(TSocket socket, bool outgoing, const char* logName,
                                     IFileSystem* logFileSystem)
    : TLoggerToFile(logName, logFileSystem),
      socket_(socket),
      ownsSocket_(outgoing),
      state_(outgoing ? CONNECTION_CONNECTING : CONNECTION_LISTENING) {}

TSocketConnection::~TSocketConnection() {
  wait_.reset();  // lets go of the socket before it is closed
  if (ownsSocket_) {
    CloseSocket(socket_);
    Log(T_LE_Disconnected());
  }
}

void TSocketConnection::Fail(const TResult& result) {
  lastResult_ = result;
  state_ = CONNECTION_CLOSED;
}

void TSocketConnection::Poll() {
  TSocketReadiness ready = PollSocket(socket_, state_ == CONNECTION_CONNECTING);
  error_ = ready.error;
  writable_ = ready.writable;
  readable_ = ready.readable;
  // A closed connection keeps the cause it closed with.
  if (error_ && state_ != CONNECTION_CLOSED) {
    Fail(TResult(state_ == CONNECTION_CONNECTING ? RESULT_SOCKET_CONNECT_FAILED
                                                 : RESULT_SOCKET_CLOSED_BY_PEER));
    Log(T_LE_ComError("Error 0"));
  }
}

int32_t TSocketConnection::Send(const void* data, uint32_t length) {
  Poll();
  if (error_) {
    return -1;
  }
  // A connected socket is offered the data even when it looks full: the
  // send it refuses is what makes Windows signal room (FD_WRITE) again once
  // room comes, so a wait for room that follows it wakes then.
  if (!writable_ && state_ != CONNECTION_CONNECTED) {
    return 0;
  }
  if (!kAgentBuild && length > sendBufferSize_) {
    // Let one large send (a request with its body) go out in as few pieces
    // as the system allows.
    sendBufferSize_ = length;
    SetSocketOption(socket_, TSocketOption::SendBuffer, static_cast<int>(length));
  }
  int sent = SendOnSocket(socket_, data, length);
  if (sent < 0) {
    Fail(TResult(RESULT_SOCKET_IO_ERROR, GetSystemError()));
    return -1;
  }
  if (sent > 0) {
    Log(T_LE_Sent(data, static_cast<uint32_t>(sent)));
  }
  return sent;
}

int32_t TSocketConnection::Receive(void* buffer, uint32_t size) {
  Poll();
  if (error_) {
    return -1;
  }
  if (!readable_) {
    return 0;
  }
  int received = ReceiveOnSocket(socket_, buffer, size);
  if (received == 0) {
    Fail(TResult(RESULT_SOCKET_CLOSED_BY_PEER));
    return -2;
  }
  if (received < 0) {
    Fail(TResult(RESULT_SOCKET_IO_ERROR, GetSystemError()));
    return -3;
  }
  Log(T_LE_Received(buffer, static_cast<uint32_t>(received)));
  return received;
}

int32_t TSocketConnection::GetState() {
  if (state_ == CONNECTION_CLOSED) {
    return state_;
  }
  Poll();
  if (state_ == CONNECTION_CONNECTING && writable_) {
    int pending = kAgentBuild ? 0 : GetPendingSocketError(socket_);
    if (pending != 0) {
      // A refused or timed-out connect must not look like a clean close.
      Fail(TResult(RESULT_SOCKET_CONNECT_FAILED, pending));
    } else {
      state_ = CONNECTION_CONNECTED;
      Log(T_LE_Connected());
    }
  } else if (state_ == CONNECTION_LISTENING && readable_) {
    TSocket accepted = AcceptSocket(socket_, &peerAddress_);
    if (accepted != kNoSocket) {
      socket_ = accepted;
      ownsSocket_ = true;
      state_ = CONNECTION_CONNECTED;
      char peer[16];
      FormatIpAddress(StoredToIpAddress(peerAddress_), peer);
      Log(T_LE_Connected(peer));
    }
  }
  return state_;
}

bool TSocketConnection::WaitUntilReady(TConnectionWait what, uint32_t milliseconds) {
  if (state_ == CONNECTION_CLOSED) return true;
  // Made on first use and kept: on Windows a wait holds an event of the
  // system's, and the updater waits on its one connection again and again.
  if (!wait_) wait_.reset(new TIoWait);
  wait_->Begin(milliseconds);
  const bool sending = what == TConnectionWait::Send;
  Watch(*wait_, !sending, sending);
  return wait_->Wait();
}

void TSocketConnection::Watch(IIoWait& wait, bool readable, bool writable) {
  switch (state_) {
    case CONNECTION_CONNECTING:
      wait.WatchSocket(socket_, false, true, true);
      return;
    case CONNECTION_LISTENING:
      wait.WatchSocket(socket_, true, false, false);
      return;
    case CONNECTION_CONNECTED:
      if (readable || writable) wait.WatchSocket(socket_, readable, writable, false);
      return;
    default:
      return;  // closed: nothing more can happen on it
  }
}
