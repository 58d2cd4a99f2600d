#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "files/file_lock.h"
#include "files/file_system.h"
#include "system/device.h"
#include "system/timer.h"

// What the updater asks of the machine it runs on: devices (the network
// channels), the clock, the idle step of a waiting loop, the terminal's
// identity and its file systems. The library binds it to the platform's
// system object; tests and fuzzers give fakes, so that every operating
// system call of an update run can be replaced.
class IUpdaterSystem {
 public:
  virtual ~IUpdaterSystem() = default;
  // Owned by the giver; null when there is no such device.
  virtual IDevice* GetDevice(uint32_t type, uint32_t index) = 0;
  // The caller owns the timer.
  virtual ITimer* CreateTimer(uint32_t milliseconds) = 0;
  // One turn of a waiting loop.
  virtual void Idle() = 0;
  // Local date as yyyymmdd and time as hhmmss.
  virtual void GetDateTime(uint32_t* date, uint32_t* time) = 0;
  virtual std::string GetSerialNumber() = 0;
  virtual std::string GetModel() = 0;
  // The library's own directory; owned by the giver.
  virtual IFileSystem* GetAppFileSystem() = 0;
  // A directory beside the library, made when missing; null when it cannot
  // be had.
  virtual std::unique_ptr<IFileSystem> OpenFileSystem(const char* path) = 0;
  // Keeps every other run, of any process, off the installation while the
  // hold lives, waiting up to waitMilliseconds for one that has it. Null
  // with *error EAGAIN when that one keeps it, or with the reason the
  // installation cannot be held. A system that no other process shares has
  // nobody to wait for.
  virtual std::unique_ptr<THold> HoldInstallation(uint32_t waitMilliseconds, int* error) {
    (void)waitMilliseconds;
    (void)error;
    return std::unique_ptr<THold>(new THold);
  }
};

// The platform's system object and device layer.
class TPlatformUpdaterSystem final : public IUpdaterSystem {
 public:
  IDevice* GetDevice(uint32_t type, uint32_t index) override;
  ITimer* CreateTimer(uint32_t milliseconds) override;
  void Idle() override;
  void GetDateTime(uint32_t* date, uint32_t* time) override;
  std::string GetSerialNumber() override;
  std::string GetModel() override;
  IFileSystem* GetAppFileSystem() override;
  std::unique_ptr<IFileSystem> OpenFileSystem(const char* path) override;
  // A lock on "UPDATER.LCK" in the library's folder.
  std::unique_ptr<THold> HoldInstallation(uint32_t waitMilliseconds, int* error) override;
};
