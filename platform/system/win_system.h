#pragma once
#include <memory>
#include "files/file_system.h"
#include "system/system.h"

// The system object on Windows: the command interpreter's commands, the
// local clock and "softkeys.ini" read through the profile API.
class TWinSystem : public TPCSystem {
 public:
  TWinSystem();
  ~TWinSystem() override;
  TWinSystem(const TWinSystem&) = delete;
  TWinSystem& operator=(const TWinSystem&) = delete;

  void Idle() override;
  TResult GetDateTime(uint32_t* date, uint32_t* time) override;
  ITimer* CreateTimer(uint32_t milliseconds) override;
  void Delay(uint32_t milliseconds) override;
  TResult OpenFileSystem(const char* path, IFileSystem** out) override;
  IFileSystem* GetAppFileSystem() override { return appFileSystem_.get(); }
  uint32_t GetModuleFileName(char* buffer, uint32_t size) override;
  const char* GetDeleteCommand() override { return "del"; }
  const char* GetRenameCommand() override { return "rename"; }
  const char* GetCopyCommand() override { return "copy /b"; }

 protected:
  std::string DateCommand(uint32_t day, uint32_t month, uint32_t year) override;
  std::string TimeCommand(uint32_t hour, uint32_t minute, uint32_t second) override;
  std::string ReadSoftkey(const char* key, const char* fallback) override;
  uint32_t GetVolumeSerial() override;

 private:
  std::unique_ptr<IFileSystem> appFileSystem_;
};
