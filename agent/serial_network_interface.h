#pragma once
#include <cstdint>
#include <memory>
#include "net/network.h"
#include "relay_link.h"
#include "serial_environment.h"

class TSerialSession;

// A network interface whose connections run through the serial port to the
// device at the other end of the cable. The agent serves that device's
// requests (IRelayLink); Connect and Listen ask the device to make
// connections on this side's behalf.
class TSerialNetworkInterface : public INetworkInterface, public IRelayLink {
 public:
  // On the platform's devices and clock.
  explicit TSerialNetworkInterface(uint16_t comPort);
  // The environment must outlive the interface.
  TSerialNetworkInterface(uint16_t comPort, ISerialEnvironment& environment);
  ~TSerialNetworkInterface() override;
  TSerialNetworkInterface(const TSerialNetworkInterface&) = delete;
  TSerialNetworkInterface& operator=(const TSerialNetworkInterface&) = delete;

  // Opens the link and waits up to 3 seconds for the far end to confirm it.
  TResult Open() override;
  void Close() override;
  int32_t GetState() override;
  TResult GetLastResult() override { return TResult(RESULT_NOT_SUPPORTED); }
  TResult SetParameter(uint32_t) override { return TResult(RESULT_NOT_SUPPORTED); }
  TResult GetIpConfig(TIpConfig*) override { return TResult(RESULT_NOT_SUPPORTED); }
  // Both open the link first when it is closed.
  TResult Connect(const TNetAddress& target, IConnection** out) override;
  TResult Listen(uint16_t port, IConnection** out) override;
  TResult Control(uint32_t) override { return TResult(RESULT_NOT_SUPPORTED); }
  // Names are resolved at the far end: every name stands for this machine.
  TResult ResolveHost(const char* host, IpAddress* out) override;

  TResult OpenLink(bool wait) override;
  bool HasSession() override { return session_ != nullptr; }
  void Poll() override;
  void Watch(IIoWait& wait) override;
  bool PortFailed(TResult* why) override;
  void SetTrace(IAgentTrace& trace) override { trace_ = &trace; }

  // Ports below this are served by a local listener, not by the far end.
  static constexpr uint16_t kFirstRemoteListenPort = 4096;

 private:
  TSystemSerialEnvironment systemEnvironment_;
  ISerialEnvironment& environment_;
  IAgentTrace* trace_ = &NullAgentTrace();
  // Shared only so that connections can tell when it is gone.
  std::shared_ptr<TSerialSession> session_;
  // The session's COM port, owned by the session.
  IConnection* port_ = nullptr;
  uint32_t lastConnectionId_ = 0;
  uint16_t comPort_;
};
