#include <cerrno>

#include "system/device_layer.h"
#include "system/system.h"
#include "updater_system.h"

IDevice* TPlatformUpdaterSystem::GetDevice(uint32_t type, uint32_t index) {
  IDeviceLayer* devices = GetSystem()->GetDeviceLayer();
  return devices ? devices->GetDevice(type, index) : nullptr;
}

ITimer* TPlatformUpdaterSystem::CreateTimer(uint32_t milliseconds) { return GetSystem()->CreateTimer(milliseconds); }

void TPlatformUpdaterSystem::Idle() { GetSystem()->ProcessIdle(); }

void TPlatformUpdaterSystem::GetDateTime(uint32_t* date, uint32_t* time) { GetSystem()->GetDateTime(date, time); }

std::string TPlatformUpdaterSystem::GetSerialNumber() {
  char serial[64] = {};
  GetSystem()->GetSerialNumber(serial);
  return serial;
}

std::string TPlatformUpdaterSystem::GetModel() {
  char model[64] = {};
  GetSystem()->GetModel(model);
  return model;
}

IFileSystem* TPlatformUpdaterSystem::GetAppFileSystem() { return GetSystem()->GetAppFileSystem(); }

std::unique_ptr<IFileSystem> TPlatformUpdaterSystem::OpenFileSystem(const char* path) {
  IFileSystem* files = nullptr;
  GetSystem()->OpenFileSystem(path, &files);
  return std::unique_ptr<IFileSystem>(files);
}

std::unique_ptr<THold> TPlatformUpdaterSystem::HoldInstallation(uint32_t waitMilliseconds, int* error) {
  char path[kMaxPath];
  if (!*GetAppFileSystem()->MakePath(path, "UPDATER.LCK")) {
    *error = ENAMETOOLONG;
    return nullptr;
  }
  return TFileLock::Acquire(path, waitMilliseconds, error);
}
