#pragma once
#include <cstdint>
#include <map>

#include "net/network.h"
#include "net/socket_api.h"

class IFileSystem;
class TSocketConnection;

// The PC's network interface over its own sockets: plain TCP connections,
// outgoing and listening. The updater's build resolves host names, waiting
// at most 10 s; the agent's resolves none. The operating system's part is
// left to TWinEthernetInterface and TPosixEthernetInterface.
class TSocketInterface : public virtual INetworkInterface {
 public:
  explicit TSocketInterface(IFileSystem* logFileSystem);
  ~TSocketInterface() override;

  TResult Open() override { return TResult(); }
  // Closes the listening sockets.
  void Close() override;
  int32_t GetState() override { return NETWORK_READY; }
  TResult GetLastResult() override { return TResult(); }
  TResult SetParameter(uint32_t) override { return TResult(); }
  TResult GetIpConfig(TIpConfig*) override { return TResult(RESULT_NOT_SUPPORTED); }
  TResult Connect(const TNetAddress& target, IConnection** out) override;
  TResult Listen(uint16_t port, IConnection** out) override;
  TResult Control(uint32_t) override { return TResult(RESULT_NOT_SUPPORTED); }
  TResult ResolveHost(const char* host, IpAddress* out) override;

  // While set, new connections write a log file into the log file system.
  void SetTraceFlag(bool on) { traceFlag_ = on; }
  bool GetTraceFlag() const { return traceFlag_; }

 protected:
  virtual void MakeNonBlocking(TSocket socket) = 0;
  virtual TSocketConnection* CreateConnection(TSocket socket, bool outgoing, const char* logName,
                                              IFileSystem* logFileSystem) = 0;
  virtual int32_t GetLastSocketError() = 0;
  // Whether connect's error number means the connection is under way.
  virtual bool IsConnectStarted(int32_t error) = 0;

 private:
  TSocket NewSocket();
  TSocketConnection* MakeConnection(TSocket socket, bool outgoing);
  void CloseListeningSockets();

  IFileSystem* logFileSystem_;  // not owned
  char logFileName_[100] = {};
  std::map<uint16_t, TSocket> listeningSockets_;  // owned
  bool traceFlag_ = false;
};

// The PC's network interface over its own sockets (defined per operating
// system). Connections get a log file in logFileSystem while the trace flag
// is set.
INetworkInterface* NewPlatformEthernetInterface(IFileSystem* logFileSystem);
