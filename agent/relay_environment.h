#pragma once
#include <cstdint>
#include <memory>
#include "agent_config.h"
#include "agent_trace.h"
#include "relay_link.h"
#include "system/device.h"
#include "system/io_wait.h"
#include "system/timer.h"

class TAgentTraceFile;
class TWorkingFolder;

// What the relay loop needs from the world: the devices, time, the settings
// and the trace. The agent binds it to the platform; tests give a fake clock
// so the loop's 5-second cadence runs in no time.
class IRelayEnvironment {
 public:
  virtual ~IRelayEnvironment() = default;
  // agent.ini as it reads now; the trace follows the level read.
  virtual TAgentSettings ReadSettings() = 0;
  // Lives as long as the environment.
  virtual IAgentTrace& GetTrace() = 0;
  // Owned by whoever hands it out; null when there is no such device.
  virtual IDevice* GetDevice(uint32_t type, uint32_t index) = 0;
  // The caller owns the timer.
  virtual ITimer* CreateTimer(uint32_t milliseconds) = 0;
  virtual void Delay(uint32_t milliseconds) = 0;
  // Sleeps until the link has something to do (Watch), but no longer than
  // the given time.
  virtual void WaitForLink(IRelayLink& link, uint32_t milliseconds) = 0;
};

// The real thing: the platform's system object, its device layer, the
// agent's configuration files, and the trace file beside the program (or in
// the working directory when the program's folder cannot be written).
class TSystemRelayEnvironment : public IRelayEnvironment {
 public:
  TSystemRelayEnvironment();
  ~TSystemRelayEnvironment() override;
  TSystemRelayEnvironment(const TSystemRelayEnvironment&) = delete;
  TSystemRelayEnvironment& operator=(const TSystemRelayEnvironment&) = delete;
  TAgentSettings ReadSettings() override;
  IAgentTrace& GetTrace() override;
  IDevice* GetDevice(uint32_t type, uint32_t index) override;
  ITimer* CreateTimer(uint32_t milliseconds) override;
  void Delay(uint32_t milliseconds) override;
  void WaitForLink(IRelayLink& link, uint32_t milliseconds) override;

 private:
  TIoWait wait_;
  // Held apart so that Windows headers and the file layer's names do not
  // meet in the files that include this one.
  std::unique_ptr<TWorkingFolder> workingFolder_;
  std::unique_ptr<TAgentTraceFile> trace_;
};
