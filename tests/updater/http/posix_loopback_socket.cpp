#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "loopback_socket.h"

namespace {

int Handle(TLoopbackSocket socket) { return static_cast<int>(socket); }

bool ReadableWithin(TLoopbackSocket socket, int milliseconds) {
  pollfd wanted{Handle(socket), POLLIN, 0};
  return ::poll(&wanted, 1, milliseconds) > 0;
}

}  // namespace

TLoopbackSocket ListenOnLoopback(uint16_t* port) {
  const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
  if (handle < 0) return kNoLoopbackSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(handle, 4) != 0 ||
      ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(handle);
    return kNoLoopbackSocket;
  }
  *port = ntohs(address.sin_port);
  return static_cast<TLoopbackSocket>(handle);
}

TLoopbackSocket AcceptWithin(TLoopbackSocket listening, int milliseconds) {
  if (!ReadableWithin(listening, milliseconds)) return kNoLoopbackSocket;
  const int accepted = ::accept(Handle(listening), nullptr, nullptr);
  return accepted < 0 ? kNoLoopbackSocket : static_cast<TLoopbackSocket>(accepted);
}

int ReceiveWithin(TLoopbackSocket socket, char* buffer, int size, int milliseconds) {
  if (!ReadableWithin(socket, milliseconds)) return 0;
  const ssize_t count = ::recv(Handle(socket), buffer, static_cast<size_t>(size), 0);
  return count > 0 ? static_cast<int>(count) : -1;
}

bool SendAll(TLoopbackSocket socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t count = ::send(Handle(socket), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count <= 0) return false;
    sent += static_cast<size_t>(count);
  }
  return true;
}

void ShutdownSending(TLoopbackSocket socket) { ::shutdown(Handle(socket), SHUT_WR); }

void CloseLoopbackSocket(TLoopbackSocket socket) { ::close(Handle(socket)); }
