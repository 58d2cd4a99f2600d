#pragma once
#include "system/device.h"

// The PC is always on mains power with a full battery.
class IPowerStatus : public IDevice {
 public:
  virtual bool IsOnBattery() = 0;
  virtual bool IsMainsConnected() = 0;
  virtual uint32_t GetChargePercent() = 0;
};

class TPCPowerStatus : public IPowerStatus {
 public:
  TResult Open() override { return TResult(); }
  void Close() override {}
  bool IsOnBattery() override { return false; }
  bool IsMainsConnected() override { return true; }
  uint32_t GetChargePercent() override { return 100; }
};
