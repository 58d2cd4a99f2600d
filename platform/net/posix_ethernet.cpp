#include "net/posix_ethernet.h"

#include <cerrno>

#include <fcntl.h>

int32_t TPosixEthernetConnection::GetSystemError() { return errno; }

void TPosixEthernetInterface::MakeNonBlocking(TSocket socket) {
  int handle = static_cast<int>(socket);
  int flags = ::fcntl(handle, F_GETFL, 0);
  if (flags >= 0) {
    ::fcntl(handle, F_SETFL, flags | O_NONBLOCK);
  }
}

TSocketConnection* TPosixEthernetInterface::CreateConnection(TSocket socket, bool outgoing, const char* logName,
                                                             IFileSystem* logFileSystem) {
  return new TPosixEthernetConnection(socket, outgoing, logName, logFileSystem);
}

int32_t TPosixEthernetInterface::GetLastSocketError() { return errno; }

bool TPosixEthernetInterface::IsConnectStarted(int32_t error) { return error == EINPROGRESS; }

INetworkInterface* NewPlatformEthernetInterface(IFileSystem* logFileSystem) {
  return new TPosixEthernetInterface(logFileSystem);
}
