#pragma once
#include "net/socket_connection.h"
#include "net/socket_interface.h"

// Socket connections and the network interface over Windows sockets.
class TWinEthernetConnection : public TSocketConnection {
 public:
  using TSocketConnection::TSocketConnection;
  int32_t GetSystemError() override;
};

class TWinEthernetInterface : public TSocketInterface {
 public:
  using TSocketInterface::TSocketInterface;
  TResult Open() override;
  // Closes the listening sockets, then lets Winsock go.
  void Close() override;
  // The first adapter with an address: that address, its mask and the
  // adapter's first gateway.
  TResult GetIpConfig(TIpConfig* config) override;

 protected:
  void MakeNonBlocking(TSocket socket) override;
  TSocketConnection* CreateConnection(TSocket socket, bool outgoing, const char* logName,
                                      IFileSystem* logFileSystem) override;
  int32_t GetLastSocketError() override;
  bool IsConnectStarted(int32_t error) override;
};
