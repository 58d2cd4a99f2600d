#pragma once
#include <cstdint>
#include "system/device.h"
#include "system/timer.h"

// What the serial protocol needs from the world: devices, timers and the idle
// step of a waiting loop. The agent binds it to the platform; tests give a
// fake clock so that the 2- and 3-second waits of the link pass in no time.
class ISerialEnvironment {
 public:
  virtual ~ISerialEnvironment() = default;
  // Owned by whoever hands it out; null when there is no such device.
  virtual IDevice* GetDevice(uint32_t type, uint32_t index) = 0;
  // The caller owns the timer.
  virtual ITimer* CreateTimer(uint32_t milliseconds) = 0;
  // One turn of a waiting loop.
  virtual void Idle() = 0;
};

// The platform's system object and device layer.
class TSystemSerialEnvironment : public ISerialEnvironment {
 public:
  IDevice* GetDevice(uint32_t type, uint32_t index) override;
  ITimer* CreateTimer(uint32_t milliseconds) override;
  void Idle() override;
};
