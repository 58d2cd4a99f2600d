#pragma once
#include <memory>
#include "files/file_system.h"
#include "system/system.h"

// The system object on Linux: the shell's commands, the terminal's clock and
// "softkeys.ini" read by the same rules as on Windows.
class TPosixSystem : public TPCSystem {
 public:
  TPosixSystem();
  ~TPosixSystem() override;
  TPosixSystem(const TPosixSystem&) = delete;
  TPosixSystem& operator=(const TPosixSystem&) = delete;

  void Idle() override;
  TResult GetDateTime(uint32_t* date, uint32_t* time) override;
  ITimer* CreateTimer(uint32_t milliseconds) override;
  void Delay(uint32_t milliseconds) override;
  TResult OpenFileSystem(const char* path, IFileSystem** out) override;
  IFileSystem* GetAppFileSystem() override { return appFileSystem_.get(); }
  uint32_t GetModuleFileName(char* buffer, uint32_t size) override;
  const char* GetDeleteCommand() override { return "rm -f"; }
  const char* GetRenameCommand() override { return "mv -f"; }
  const char* GetCopyCommand() override { return "cp"; }

 protected:
  std::string DateCommand(uint32_t day, uint32_t month, uint32_t year) override;
  std::string TimeCommand(uint32_t hour, uint32_t minute, uint32_t second) override;
  std::string ReadSoftkey(const char* key, const char* fallback) override;
  uint32_t GetVolumeSerial() override;

 private:
  std::unique_ptr<IFileSystem> appFileSystem_;
};
