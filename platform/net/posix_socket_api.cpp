#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/socket_api.h"

namespace {

int Handle(TSocket socket) { return static_cast<int>(socket); }

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

// Close-on-exec keeps the sockets out of the shell commands the system runs.
TSocket OpenTcpSocket() {
  int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return handle < 0 ? kNoSocket : static_cast<TSocket>(handle);
}

void CloseSocket(TSocket socket) { ::close(Handle(socket)); }

void SetSocketOption(TSocket socket, TSocketOption option, int value) {
  ::setsockopt(Handle(socket), SOL_SOCKET, OptionName(option), &value, sizeof value);
}

int GetPendingSocketError(TSocket socket) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(Handle(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
    return 0;
  }
  return error;
}

int ConnectSocket(TSocket socket, IpAddress address, uint16_t port) {
  sockaddr_in target = MakeAddress(address, port);
  return ::connect(Handle(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target);
}

bool BindAndListen(TSocket socket, uint16_t port, int backlog) {
  sockaddr_in local = MakeAddress(INADDR_ANY, port);
  return ::bind(Handle(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
         ::listen(Handle(socket), backlog) == 0;
}

// Winsock hands out accepted sockets in the listening socket's non-blocking
// mode; Linux does not, so the mode is asked for here.
TSocket AcceptSocket(TSocket socket, uint32_t* peerAddress) {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  int handle = ::accept4(Handle(socket), reinterpret_cast<sockaddr*>(&peer), &length,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (handle < 0) {
    return kNoSocket;
  }
  *peerAddress = peer.sin_addr.s_addr;
  return static_cast<TSocket>(handle);
}

int SendOnSocket(TSocket socket, const void* data, uint32_t length) {
  const ssize_t sent = ::send(Handle(socket), data, length, MSG_NOSIGNAL);
  if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
  return static_cast<int>(sent);
}

int ReceiveOnSocket(TSocket socket, void* buffer, uint32_t size) {
  return static_cast<int>(::recv(Handle(socket), buffer, size, 0));
}

// poll rather than select: select cannot look at descriptors past
// FD_SETSIZE. The sets are the ones select builds from the same events.
TSocketReadiness PollSocket(TSocket socket, bool connecting) {
  TSocketReadiness ready;
  pollfd entry{Handle(socket), POLLIN | POLLOUT | POLLPRI, 0};
  if (::poll(&entry, 1, 0) <= 0) {
    return ready;
  }
  ready.readable = (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  ready.writable = (entry.revents & (POLLOUT | POLLERR)) != 0;
  ready.error = (entry.revents & POLLPRI) != 0;
  // Winsock puts a failed connect into the error set; Linux only makes the
  // socket readable and writable with the error pending.
  if (connecting && (ready.readable || ready.writable) && GetPendingSocketError(socket) != 0) {
    ready.error = true;
  }
  return ready;
}
