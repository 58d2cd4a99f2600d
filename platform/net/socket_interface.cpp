#include "net/socket_interface.h"

#include <cctype>
#include <cstdio>

#include "build_flavour.h"
#include "net/host_lookup.h"
#include "net/socket_connection.h"

namespace {

// Large buffers let a relayed connection or a download move a burst without
// waiting for the next poll.
constexpr int kSocketBufferSize = 250000;
constexpr int kListenBacklog = 1;

// Labels that are all numbers as C writes them ("127.1", "2130706433",
// "0x7f.1"): the system's resolver takes such a host for an address, which
// is not the dotted quad a host names when it is one.
bool IsNumberForm(const char* host) {
  bool numeric = true;
  for (const char* label = host; numeric && *label != '\0';) {
    const char* end = label;
    while (*end != '\0' && *end != '.') ++end;
    const bool hex = end - label >= 2 && label[0] == '0' && (label[1] == 'x' || label[1] == 'X');
    for (const char* c = hex ? label + 2 : label; numeric && c < end; ++c) {
      numeric = hex ? std::isxdigit(static_cast<unsigned char>(*c)) != 0 : (*c >= '0' && *c <= '9');
    }
    label = *end == '.' ? end + 1 : end;
  }
  return numeric;
}

}  // namespace

TSocketInterface::TSocketInterface(IFileSystem* logFileSystem) : logFileSystem_(logFileSystem) {}

TSocketInterface::~TSocketInterface() { CloseListeningSockets(); }

void TSocketInterface::Close() { CloseListeningSockets(); }

void TSocketInterface::CloseListeningSockets() {
  for (const auto& entry : listeningSockets_) {
    CloseSocket(entry.second);
  }
  listeningSockets_.clear();
}

TSocket TSocketInterface::NewSocket() {
  TSocket socket = OpenTcpSocket();
  if (socket == kNoSocket) {
    return kNoSocket;
  }
  MakeNonBlocking(socket);
  SetSocketOption(socket, TSocketOption::ReuseAddress, 1);
  SetSocketOption(socket, TSocketOption::SendBuffer, kSocketBufferSize);
  SetSocketOption(socket, TSocketOption::ReceiveBuffer, kSocketBufferSize);
  return socket;
}

TSocketConnection* TSocketInterface::MakeConnection(TSocket socket, bool outgoing) {
  std::snprintf(logFileName_, sizeof logFileName_, "sock%010lu.txt", static_cast<unsigned long>(socket));
  return CreateConnection(socket, outgoing, logFileName_, traceFlag_ ? logFileSystem_ : nullptr);
}

TResult TSocketInterface::Connect(const TNetAddress& target, IConnection** out) {
  *out = nullptr;
  TSocket socket = NewSocket();
  if (socket == kNoSocket) {
    return TResult(RESULT_SOCKET_NO_SOCKET, GetLastSocketError());
  }
  if (ConnectSocket(socket, target.address, target.port) != 0) {
    int32_t error = GetLastSocketError();
    if (!IsConnectStarted(error)) {
      CloseSocket(socket);
      return TResult(RESULT_SOCKET_CONNECT_FAILED, error);
    }
  }
  *out = MakeConnection(socket, true);
  return TResult();
}

TResult TSocketInterface::Listen(uint16_t port, IConnection** out) {
  *out = nullptr;
  auto found = listeningSockets_.find(port);
  TSocket socket;
  if (found != listeningSockets_.end()) {
    socket = found->second;
  } else {
    socket = NewSocket();
    if (socket == kNoSocket) {
      return TResult(RESULT_SOCKET_LISTEN_FAILED);
    }
    if (!BindAndListen(socket, port, kListenBacklog)) {
      CloseSocket(socket);
      return TResult(RESULT_SOCKET_LISTEN_FAILED);
    }
    listeningSockets_[port] = socket;
  }
  *out = MakeConnection(socket, false);
  return TResult();
}

TResult TSocketInterface::ResolveHost(const char* host, IpAddress* out) {
  if (kAgentBuild) return TResult(RESULT_NOT_SUPPORTED);
  if (host != nullptr && IsNumberForm(host)) {
    *out = 0;
    return TResult(RESULT_SOCKET_NO_ADDRESS);
  }
  return ResolveHostWithin(host, out, kHostLookupMilliseconds, &LookUpHostAddress);
}
