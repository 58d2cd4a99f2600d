#pragma once
#include <map>
#include <memory>
#include "build_flavour.h"
#include "system/device.h"

class IFileSystem;

// Hands out devices by type and index.
class IDeviceLayer {
 public:
  virtual TResult QueryDevice(uint32_t argument, int32_t* out) = 0;
  virtual IDevice* GetDevice(uint32_t type, uint32_t index) = 0;
  virtual IDevice* CreateDevice(uint32_t type, uint32_t index) = 0;
  virtual TResult GetLastResult() = 0;
  virtual ~IDeviceLayer() = default;
};

// Keeps every device it made until it is destroyed; devices go in ascending
// order of their key (type * 0x10000 + index).
class TDeviceLayer : public IDeviceLayer {
 public:
  ~TDeviceLayer() override;
  IDevice* GetDevice(uint32_t type, uint32_t index) override;

 private:
  std::map<uint32_t, std::unique_ptr<IDevice>> cache_;
};

// The PC's devices: keyboard, network interfaces over the PC's sockets and,
// in the agent, power status and the serial devices the agent registers.
class TPCDeviceLayer : public TDeviceLayer {
 public:
  TPCDeviceLayer(uint32_t screenSelector, IFileSystem* logFileSystem);
  TResult QueryDevice(uint32_t argument, int32_t* out) override;
  IDevice* CreateDevice(uint32_t type, uint32_t index) override;
  TResult GetLastResult() override { return lastResult_; }

 private:
  TResult lastResult_;
  [[maybe_unused]] uint32_t screenSelector_;
  IFileSystem* logFileSystem_;  // not owned
};

#if TAVO_AGENT_BUILD
// The agent's own devices (serial port, serial network interface) live in the
// agent, not in the platform layer; the agent registers their maker at start.
using TAgentDeviceFactory = IDevice* (*)(uint32_t type, uint32_t index, IFileSystem* logFileSystem);
void SetAgentDeviceFactory(TAgentDeviceFactory factory);
#endif
