#pragma once
#include "net/socket_connection.h"
#include "net/socket_interface.h"

// Socket connections and the network interface over Linux sockets.
class TPosixEthernetConnection : public TSocketConnection {
 public:
  using TSocketConnection::TSocketConnection;
  int32_t GetSystemError() override;
};

class TPosixEthernetInterface : public TSocketInterface {
 public:
  using TSocketInterface::TSocketInterface;
  // The first running IPv4 interface other than loopback, and the default
  // route's gateway.
  TResult GetIpConfig(TIpConfig* config) override;

 protected:
  void MakeNonBlocking(TSocket socket) override;
  TSocketConnection* CreateConnection(TSocket socket, bool outgoing, const char* logName,
                                      IFileSystem* logFileSystem) override;
  int32_t GetLastSocketError() override;
  bool IsConnectStarted(int32_t error) override;
};
