#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host_reachability.h"

// Hosts on the loopback network, on ports the system chooses for the run.

namespace {

class TWinsock {
 public:
  TWinsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  TWinsock(const TWinsock&) = delete;
  TWinsock& operator=(const TWinsock&) = delete;
  ~TWinsock() { WSACleanup(); }
};

// A socket bound to address on a free port, listening when asked to.
class TLoopbackPort {
 public:
  // backlog: how many connections may wait to be accepted.
  TLoopbackPort(const char* address, bool listening, int backlog = 4)
      : socket_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, address, &local.sin_addr);
    int length = sizeof local;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
        getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
        (!listening || listen(socket_, backlog) == 0)) {
      port_ = ntohs(local.sin_port);
    }
  }
  TLoopbackPort(const TLoopbackPort&) = delete;
  TLoopbackPort& operator=(const TLoopbackPort&) = delete;
  ~TLoopbackPort() { Close(); }

  uint16_t Port() const { return port_; }
  void Close() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
  // What the next caller sends before hanging up; "!" when nobody called.
  std::string ReceiveFromCaller() {
    u_long nonBlocking = 1;
    ioctlsocket(socket_, FIONBIO, &nonBlocking);
    const SOCKET caller = accept(socket_, nullptr, nullptr);
    if (caller == INVALID_SOCKET) return "!";
    nonBlocking = 0;
    ioctlsocket(caller, FIONBIO, &nonBlocking);
    std::string received;
    char buffer[64];
    int count;
    while ((count = recv(caller, buffer, sizeof buffer, 0)) > 0) received.append(buffer, count);
    closesocket(caller);
    return received;
  }

 private:
  SOCKET socket_;
  uint16_t port_ = 0;
};

}  // namespace

TEST(HostReachability, ConnectsToAListeningHostAndSendsNothing) {
  TWinsock winsock;
  TLoopbackPort first("127.0.0.1", true);
  TLoopbackPort second("127.0.0.2", true);
  ASSERT_NE(first.Port(), 0);
  ASSERT_NE(second.Port(), 0) << "127.0.0.2 is not a loopback address here";

  EXPECT_TRUE(IsHostReachable(L"127.0.0.1", first.Port()));
  EXPECT_EQ(first.ReceiveFromCaller(), "");
  EXPECT_TRUE(IsHostReachable(L"127.0.0.2", second.Port()));
  EXPECT_EQ(second.ReceiveFromCaller(), "");
}

TEST(HostReachability, AClosedPortOrAnotherAddressIsUnreachable) {
  TWinsock winsock;
  TLoopbackPort listening("127.0.0.1", true);
  TLoopbackPort closed("127.0.0.1", false);
  ASSERT_NE(closed.Port(), 0);
  closed.Close();

  EXPECT_FALSE(IsHostReachable(L"127.0.0.1", closed.Port()));
  // The listener is on 127.0.0.1 only.
  EXPECT_FALSE(IsHostReachable(L"127.0.0.2", listening.Port()));
  EXPECT_EQ(listening.ReceiveFromCaller(), "!");
}

TEST(HostReachability, WhatIsNoIPv4AddressIsUnreachable) {
  for (const std::wstring address : {L"", L"localhost", L"127.0.0.256", L"127.0.0", L"::1"}) {
    EXPECT_FALSE(IsHostReachable(address, 80)) << std::string(address.begin(), address.end());
  }
}

TEST(HostReachability, AHostThatDoesNotAnswerIsGivenUpAfterTheTimeout) {
  TWinsock winsock;
  // A listener that lets nobody wait: once callers fill its queue, Linux
  // ignores further connection requests, so the next caller hears nothing.
  // (Windows refuses them at once; the check is false sooner there.)
  TLoopbackPort busy("127.0.0.1", true, 0);
  ASSERT_NE(busy.Port(), 0);
  sockaddr_in host = {};
  host.sin_family = AF_INET;
  host.sin_port = htons(busy.Port());
  inet_pton(AF_INET, "127.0.0.1", &host.sin_addr);
  std::vector<SOCKET> waiting;
  for (int i = 0; i < 3; ++i) {
    waiting.push_back(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    u_long nonBlocking = 1;
    ioctlsocket(waiting.back(), FIONBIO, &nonBlocking);
    connect(waiting.back(), reinterpret_cast<sockaddr*>(&host), sizeof host);
  }
  Sleep(100);

  const DWORD start = GetTickCount();
  EXPECT_FALSE(IsHostReachable(L"127.0.0.1", busy.Port(), 300));
  EXPECT_LT(GetTickCount() - start, 3000u);
  for (const SOCKET caller : waiting) closesocket(caller);
}
