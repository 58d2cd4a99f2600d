#include <winsock2.h>

#include "loopback_socket.h"

namespace {

SOCKET Handle(TLoopbackSocket socket) { return static_cast<SOCKET>(socket); }

// Winsock counts its users; this one stays for the life of the test program.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

bool ReadableWithin(TLoopbackSocket socket, int milliseconds) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Handle(socket), &readable);
  timeval limit{milliseconds / 1000, milliseconds % 1000 * 1000};
  return ::select(0, &readable, nullptr, nullptr, &limit) > 0;
}

}  // namespace

TLoopbackSocket ListenOnLoopback(uint16_t* port) {
  StartWinsock();
  const SOCKET handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (handle == INVALID_SOCKET) return kNoLoopbackSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(handle, 4) != 0 ||
      ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::closesocket(handle);
    return kNoLoopbackSocket;
  }
  *port = ntohs(address.sin_port);
  return static_cast<TLoopbackSocket>(handle);
}

TLoopbackSocket AcceptWithin(TLoopbackSocket listening, int milliseconds) {
  if (!ReadableWithin(listening, milliseconds)) return kNoLoopbackSocket;
  const SOCKET accepted = ::accept(Handle(listening), nullptr, nullptr);
  return accepted == INVALID_SOCKET ? kNoLoopbackSocket : static_cast<TLoopbackSocket>(accepted);
}

int ReceiveWithin(TLoopbackSocket socket, char* buffer, int size, int milliseconds) {
  if (!ReadableWithin(socket, milliseconds)) return 0;
  const int count = ::recv(Handle(socket), buffer, size, 0);
  return count > 0 ? count : -1;
}

bool SendAll(TLoopbackSocket socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const int count = ::send(Handle(socket), bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (count <= 0) return false;
    sent += static_cast<size_t>(count);
  }
  return true;
}

void ShutdownSending(TLoopbackSocket socket) { ::shutdown(Handle(socket), SD_SEND); }

void CloseLoopbackSocket(TLoopbackSocket socket) { ::closesocket(Handle(socket)); }
