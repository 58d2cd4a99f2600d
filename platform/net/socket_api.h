#pragma once
#include <cstdint>

#include "net/network.h"

// The few socket calls whose headers, types and error reporting differ
// between Winsock and BSD sockets. The socket interface and its connections
// are written against these so that they stay the same on every system.

// A socket handle wide enough for either system's kind.
using TSocket = uintptr_t;
constexpr TSocket kNoSocket = ~TSocket(0);

enum class TSocketOption { ReuseAddress, SendBuffer, ReceiveBuffer };

struct TSocketReadiness {
  bool readable = false;
  bool writable = false;
  bool error = false;
};

// A TCP socket over IPv4 (still blocking), or kNoSocket.
TSocket OpenTcpSocket();
void CloseSocket(TSocket socket);
// The outcome is deliberately not reported: every caller goes on without it.
void SetSocketOption(TSocket socket, TSocketOption option, int value);
// The socket's pending error (SO_ERROR), which reading also clears.
int GetPendingSocketError(TSocket socket);

// 0 or -1 like connect(); the address and port in host order.
int ConnectSocket(TSocket socket, IpAddress address, uint16_t port);
// Binds to every local address and listens; false on failure.
bool BindAndListen(TSocket socket, uint16_t port, int backlog);
// A non-blocking accepted socket, or kNoSocket. peerAddress receives the
// peer's address as the socket API stores it (network byte order in memory).
TSocket AcceptSocket(TSocket socket, uint32_t* peerAddress);

// One send or recv: the byte count or -1. Sending to a peer that has gone
// away answers -1 instead of raising a signal; a send that the socket has
// no room for (it would block) answers 0.
int SendOnSocket(TSocket socket, const void* data, uint32_t length);
int ReceiveOnSocket(TSocket socket, void* buffer, uint32_t size);

// Looks at the socket without waiting: what select's read, write and error
// sets would say. connecting tells that a non-blocking connect is under way,
// whose failure then shows in the error set on every system.
TSocketReadiness PollSocket(TSocket socket, bool connecting);
