#include <winsock2.h>

#include "net/socket_api.h"

namespace {

SOCKET Handle(TSocket socket) { return static_cast<SOCKET>(socket); }

int OptionName(TSocketOption option) {
  switch (option) {
    case TSocketOption::ReuseAddress:
      return SO_REUSEADDR;
    case TSocketOption::SendBuffer:
      return SO_SNDBUF;
    case TSocketOption::ReceiveBuffer:
      return SO_RCVBUF;
  }
  return 0;
}

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = htonl(address);
  return target;
}

}  // namespace

TSocket OpenTcpSocket() {
  SOCKET handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return handle == INVALID_SOCKET ? kNoSocket : static_cast<TSocket>(handle);
}

void CloseSocket(TSocket socket) { ::closesocket(Handle(socket)); }

void SetSocketOption(TSocket socket, TSocketOption option, int value) {
  ::setsockopt(Handle(socket), SOL_SOCKET, OptionName(option), reinterpret_cast<const char*>(&value),
               sizeof value);
}

int GetPendingSocketError(TSocket socket) {
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(Handle(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return 0;
  }
  return error;
}

int ConnectSocket(TSocket socket, IpAddress address, uint16_t port) {
  sockaddr_in target = MakeAddress(address, port);
  return ::connect(Handle(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 ? 0 : -1;
}

bool BindAndListen(TSocket socket, uint16_t port, int backlog) {
  sockaddr_in local = MakeAddress(INADDR_ANY, port);
  return ::bind(Handle(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
         ::listen(Handle(socket), backlog) == 0;
}

// The accepted socket inherits the listening socket's non-blocking mode.
TSocket AcceptSocket(TSocket socket, uint32_t* peerAddress) {
  sockaddr_in peer{};
  int length = sizeof peer;
  SOCKET handle = ::accept(Handle(socket), reinterpret_cast<sockaddr*>(&peer), &length);
  if (handle == INVALID_SOCKET) {
    return kNoSocket;
  }
  *peerAddress = peer.sin_addr.s_addr;
  return static_cast<TSocket>(handle);
}

int SendOnSocket(TSocket socket, const void* data, uint32_t length) {
  int result = ::send(Handle(socket), static_cast<const char*>(data), static_cast<int>(length), 0);
  if (result != SOCKET_ERROR) return result;
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

int ReceiveOnSocket(TSocket socket, void* buffer, uint32_t size) {
  int result = ::recv(Handle(socket), static_cast<char*>(buffer), static_cast<int>(size), 0);
  return result == SOCKET_ERROR ? -1 : result;
}

// Winsock reports a failed connect in the error set by itself, so whether a
// connect is under way does not matter here.
TSocketReadiness PollSocket(TSocket socket, bool /*connecting*/) {
  TSocketReadiness ready;
  fd_set readSet, writeSet, errorSet;
  FD_ZERO(&readSet);
  FD_ZERO(&writeSet);
  FD_ZERO(&errorSet);
  FD_SET(Handle(socket), &readSet);
  FD_SET(Handle(socket), &writeSet);
  FD_SET(Handle(socket), &errorSet);
  timeval noWait{0, 0};
  if (::select(0, &readSet, &writeSet, &errorSet, &noWait) <= 0) {
    return ready;
  }
  ready.readable = FD_ISSET(Handle(socket), &readSet) != 0;
  ready.writable = FD_ISSET(Handle(socket), &writeSet) != 0;
  ready.error = FD_ISSET(Handle(socket), &errorSet) != 0;
  return ready;
}
