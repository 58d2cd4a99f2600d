#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "environment.h"
#include "fake_network.h"
#include "fake_update_server.h"
#include "http/system_tracer.h"
#include "memory_file_system.h"
#include "updater_context.h"
#include "updater_system.h"

// A machine without operating system: files on a memory disk, a network
// channel given by the caller as the Ethernet device, and a clock that moves
// only by the idle steps of waiting loops (1 ms each) and by the waits of
// the network, so that the longest time-out passes at once.
class TFakeUpdaterSystem final : public IUpdaterSystem {
 public:
  // The clock, in milliseconds, is the caller's, so that the network's
  // waits can pass time on it too.
  TFakeUpdaterSystem(TMemoryDisk& disk, INetworkInterface* ethernet, uint64_t& clock);

  IDevice* GetDevice(uint32_t type, uint32_t index) override;
  ITimer* CreateTimer(uint32_t milliseconds) override;
  void Idle() override { ++now_; }
  void GetDateTime(uint32_t* date, uint32_t* time) override;
  std::string GetSerialNumber() override { return "000012345678"; }
  std::string GetModel() override { return "WIN32"; }
  IFileSystem* GetAppFileSystem() override { return &appFiles_; }
  std::unique_ptr<IFileSystem> OpenFileSystem(const char* path) override;

  uint64_t Now() const { return now_; }

 private:
  TMemoryDisk& disk_;
  INetworkInterface* ethernet_;
  TMemoryFileSystem appFiles_;
  uint64_t& now_;
};

// A whole installation in memory with its update server: what a test or a
// fuzzer builds to run the updater's real code with no file, socket or
// clock of the machine. The library's directory is the disk's root, the
// update directory its "Update" folder.
class TFakeInstallation {
 public:
  explicit TFakeInstallation(const std::string& config = "HostURL=10.0.0.5:8080\r\n");
  TFakeInstallation(const TFakeInstallation&) = delete;
  TFakeInstallation& operator=(const TFakeInstallation&) = delete;

  TUpdaterContext Context() { return TUpdaterContext{&system, &tracer, terminal.get()}; }
  // One update run, as the library's export makes it.
  int32_t Run(const std::string& serialNumber = "12345678", const std::string& model = "T1");

  TMemoryDisk disk;
  TFakeUpdateServer server;
  uint64_t clock = 0;
  TFakeNetwork network;
  TFakeUpdaterSystem system;
  TSystemTracer tracer;
  std::unique_ptr<TCorvoEnvironment> terminal;  // reads CONFIG.INI when made
};
