#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "host_reachability.h"

namespace {

// Windows Sockets for as long as one check runs.
class TWinsockSession {
 public:
  TWinsockSession() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  TWinsockSession(const TWinsockSession&) = delete;
  TWinsockSession& operator=(const TWinsockSession&) = delete;
  ~TWinsockSession() {
    if (started_) WSACleanup();
  }
  bool Started() const { return started_; }

 private:
  bool started_;
};

class TSocket {
 public:
  TSocket() : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;
  ~TSocket() {
    if (IsOpen()) closesocket(socket_);
  }
  bool IsOpen() const { return socket_ != INVALID_SOCKET; }
  SOCKET Get() const { return socket_; }

 private:
  SOCKET socket_;
};

// Starts a non-blocking connect and waits for it to succeed or fail.
bool ConnectWithin(SOCKET connection, const sockaddr_in& host, uint32_t timeoutMs) {
  u_long nonBlocking = 1;
  if (ioctlsocket(connection, FIONBIO, &nonBlocking) != 0) return false;
  if (connect(connection, reinterpret_cast<const sockaddr*>(&host), sizeof host) == 0) return true;
  if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
  // A connection made shows as writable, a refused one as an exception.
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(connection, &writable);
  FD_SET(connection, &failed);
  timeval timeout;
  timeout.tv_sec = static_cast<long>(timeoutMs / 1000);
  timeout.tv_usec = static_cast<long>(timeoutMs % 1000) * 1000;
  if (select(0, nullptr, &writable, &failed, &timeout) <= 0) return false;
  if (!FD_ISSET(connection, &writable)) return false;
  int error = 0;
  int length = sizeof error;
  return getsockopt(connection, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) ==
             0 &&
         error == 0;
}

}  // namespace

bool IsHostReachable(const std::wstring& address, uint16_t port, uint32_t timeoutMs) {
  TWinsockSession session;
  if (!session.Started()) return false;
  sockaddr_in host = {};
  host.sin_family = AF_INET;
  host.sin_port = htons(port);
  if (InetPtonW(AF_INET, address.c_str(), &host.sin_addr) != 1) return false;
  TSocket connection;
  return connection.IsOpen() && ConnectWithin(connection.Get(), host, timeoutMs);
}
