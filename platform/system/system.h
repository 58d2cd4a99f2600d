#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include "build_flavour.h"
#include "system/result.h"
#include "system/timer.h"
#if TAVO_AGENT_BUILD
#include "log/console_logger.h"
#else
#include "system/idle_handler.h"
#endif

class IDeviceLayer;
class IFileSystem;

// The terminal as seen by the application: clock, timers, identity,
// directories and devices. One per process, reached through GetSystem().
class ISystem
#if !TAVO_AGENT_BUILD
    : public IIdleHandler
#endif
{
 public:
  virtual void Idle() = 0;
  virtual ~ISystem() = default;
#if !TAVO_AGENT_BUILD
  virtual void MarkActive() = 0;
#endif
  virtual void Shutdown() = 0;
  virtual TResult Initialize() = 0;
  virtual TResult InstallUpdate() = 0;
  virtual IDeviceLayer* GetDeviceLayer() = 0;
  virtual TResult SetDateTime(uint32_t date, uint32_t time) = 0;
  virtual TResult GetDateTime(uint32_t* date, uint32_t* time) = 0;
  virtual ITimer* CreateTimer(uint32_t milliseconds) = 0;
  virtual void Delay(uint32_t milliseconds) = 0;
  virtual TResult GetRandom(uint8_t* buffer8) = 0;
  virtual TResult OpenFileSystem(const char* path, IFileSystem** out) = 0;
  virtual TResult CloseFileSystem(IFileSystem* fileSystem) = 0;
  virtual IFileSystem* GetAppFileSystem() = 0;
  virtual void GetModel(char* buffer64) = 0;
  virtual void GetSystemName(char* buffer, uint32_t length) = 0;
  virtual void GetScreenSize(uint16_t* width, uint16_t* height, uint8_t* flag) = 0;
  // Hooks a real terminal uses for its peripherals; nothing to do on a PC.
  virtual void ResetPeripherals() = 0;
  virtual TResult CheckPeripherals() = 0;
  virtual TResult GetSerialNumber(char* buffer64) = 0;
#if !TAVO_AGENT_BUILD
  virtual void SetActive(bool active) = 0;
#endif
  virtual void CreateDeviceLayer() = 0;
#if !TAVO_AGENT_BUILD
  virtual void OnActivityChanged(bool active) = 0;
#endif
  virtual uint32_t GetModuleFileName(char* buffer, uint32_t size) = 0;
  virtual const char* GetDeleteCommand() = 0;
  virtual const char* GetRenameCommand() = 0;
  virtual const char* GetCopyCommand() = 0;
#if TAVO_AGENT_BUILD
  virtual ILoggerToConsole* GetConsoleLogger() = 0;
#endif

  // One turn of every waiting loop: Idle and, in the updater, the rest of
  // the idle chain. Costs at least 1 ms.
  void ProcessIdle();
};

// The process-wide system object, created on first call.
ISystem* GetSystem();

// State and behaviour shared by every terminal.
class TSystem : public ISystem {
 public:
  TSystem();
  ~TSystem() override;
  void Idle() override;
#if !TAVO_AGENT_BUILD
  void OnIdle() override { Idle(); }
  void MarkActive() override;
  void SetActive(bool active) override;
  void OnActivityChanged(bool) override {}
  bool IsActive() const { return active_; }
#endif
  IDeviceLayer* GetDeviceLayer() override;
  TResult CloseFileSystem(IFileSystem* fileSystem) override;
  void ResetPeripherals() override {}
  TResult CheckPeripherals() override { return TResult(RESULT_NOT_SUPPORTED); }

 protected:
  // Closes the trace file system, then destroys the device layer with its
  // devices, then the inactivity timer. The most derived system calls it
  // from its own destructor: devices may still call back into the system
  // (clock, file systems) while they go, which must reach the whole object.
  void ReleaseOwned();

  // Idle time after which the terminal counts as inactive.
  static constexpr uint32_t kInactivityMilliseconds = 30000;

  std::unique_ptr<IDeviceLayer> deviceLayer_;
  IFileSystem* traceFileSystem_ = nullptr;  // owned; given back on destruction
#if !TAVO_AGENT_BUILD
  bool active_ = false;
  std::unique_ptr<ITimer> inactivityTimer_;
#endif
};

// What every PC does alike; the operating system parts are left to
// TWinSystem and TPosixSystem.
class TPCSystem : public TSystem {
 public:
  void Shutdown() override;
  TResult Initialize() override { return TResult(); }
  TResult InstallUpdate() override;
  TResult SetDateTime(uint32_t date, uint32_t time) override;
  TResult GetRandom(uint8_t* buffer8) override;
  void GetSystemName(char* buffer, uint32_t length) override;
  void GetModel(char* buffer64) override;
  void GetScreenSize(uint16_t* width, uint16_t* height, uint8_t* flag) override;
  TResult GetSerialNumber(char* buffer64) override;
  void CreateDeviceLayer() override;
#if TAVO_AGENT_BUILD
  ILoggerToConsole* GetConsoleLogger() override;
#endif

 protected:
  // Runs one command through the command interpreter; its outcome is not
  // looked at. Tests replace it to see the commands.
  virtual void RunShellCommand(const std::string& command);
  // The commands that set the clock's date and time.
  virtual std::string DateCommand(uint32_t day, uint32_t month, uint32_t year) = 0;
  virtual std::string TimeCommand(uint32_t hour, uint32_t minute, uint32_t second) = 0;
  // A value of "softkeys.ini", section "Keys", at most 63 characters.
  virtual std::string ReadSoftkey(const char* key, const char* fallback) = 0;
  // The serial number of the volume that holds the current directory.
  virtual uint32_t GetVolumeSerial() = 0;

  uint32_t screenSelector_ = 1;

 private:
#if TAVO_AGENT_BUILD
  TLoggerToConsoleDummy consoleLogger_;
#endif
};
