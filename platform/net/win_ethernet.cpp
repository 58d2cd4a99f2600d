#include <winsock2.h>

#include "net/win_ethernet.h"

namespace {

constexpr WORD kWinsockVersion = 0x0102;
// Besides WSAEWOULDBLOCK, older stacks answer this for a connect under way.
constexpr int32_t kConnectStartedError = 112;

}  // namespace

int32_t TWinEthernetConnection::GetSystemError() { return ::WSAGetLastError(); }

// A failed start shows up as failing sockets later, with their own codes.
TResult TWinEthernetInterface::Open() {
  WSADATA data;
  ::WSAStartup(kWinsockVersion, &data);
  return TResult();
}

void TWinEthernetInterface::Close() {
  TSocketInterface::Close();
  ::WSACleanup();
}

void TWinEthernetInterface::MakeNonBlocking(TSocket socket) {
  u_long nonBlocking = 1;
  ::ioctlsocket(static_cast<SOCKET>(socket), FIONBIO, &nonBlocking);
}

TSocketConnection* TWinEthernetInterface::CreateConnection(TSocket socket, bool outgoing, const char* logName,
                                                           IFileSystem* logFileSystem) {
  return new TWinEthernetConnection(socket, outgoing, logName, logFileSystem);
}

int32_t TWinEthernetInterface::GetLastSocketError() { return ::WSAGetLastError(); }

bool TWinEthernetInterface::IsConnectStarted(int32_t error) {
  return error == kConnectStartedError || error == WSAEWOULDBLOCK;
}

INetworkInterface* NewPlatformEthernetInterface(IFileSystem* logFileSystem) {
  return new TWinEthernetInterface(logFileSystem);
}
