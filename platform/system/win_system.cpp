#include <winsock2.h>
#include <windows.h>
#undef GetModuleFileName
#undef GetFreeSpace
#include "system/win_system.h"
#include <cstdio>
#include <cstdlib>
#include <ctime>

ISystem* GetSystem() {
  static TWinSystem system;
  return &system;
}

TWinSystem::TWinSystem() : appFileSystem_(NewPlatformFileSystem("")) {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
}

TWinSystem::~TWinSystem() { ReleaseOwned(); }

void TWinSystem::Idle() {
  TSystem::Idle();
  Sleep(1);
}

TResult TWinSystem::GetDateTime(uint32_t* date, uint32_t* time) {
  SYSTEMTIME local;
  GetLocalTime(&local);
  if (date) *date = local.wYear * 10000u + local.wMonth * 100u + local.wDay;
  if (time) *time = local.wHour * 10000u + local.wMinute * 100u + local.wSecond;
  return TResult();
}

ITimer* TWinSystem::CreateTimer(uint32_t milliseconds) { return new TPCTimer(milliseconds); }

void TWinSystem::Delay(uint32_t milliseconds) { Sleep(milliseconds); }

TResult TWinSystem::OpenFileSystem(const char* path, IFileSystem** out) {
  if (!path || !out) return TResult(RESULT_INVALID_ARGUMENT);
  *out = NewPlatformFileSystem(path);
  // The directory is made where the file system puts its files, beside the
  // program, whatever the current directory is. That it exists already is
  // the usual case.
  char root[kMaxPath] = {};
  if (*out && (*out)->MakePath(root, "") && root[0] != 0) CreateDirectoryA(root, nullptr);
  return TResult();
}

uint32_t TWinSystem::GetModuleFileName(char* buffer, uint32_t size) {
  if (!buffer || size == 0) return 0;
  return GetModuleFileNameA(nullptr, buffer, size);
}

std::string TWinSystem::DateCommand(uint32_t day, uint32_t month, uint32_t year) {
  char command[64];
  std::snprintf(command, sizeof command, "date %lu-%lu-%lu", static_cast<unsigned long>(day),
                static_cast<unsigned long>(month), static_cast<unsigned long>(year));
  return command;
}

std::string TWinSystem::TimeCommand(uint32_t hour, uint32_t minute, uint32_t second) {
  char command[64];
  std::snprintf(command, sizeof command, "time %lu:%lu:%lu", static_cast<unsigned long>(hour),
                static_cast<unsigned long>(minute), static_cast<unsigned long>(second));
  return command;
}

std::string TWinSystem::ReadSoftkey(const char* key, const char* fallback) {
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof directory, directory);
  const std::string path = std::string(directory) + "\\softkeys.ini";
  char value[64] = {};
  GetPrivateProfileStringA("Keys", key, fallback, value, sizeof value, path.c_str());
  return value;
}

uint32_t TWinSystem::GetVolumeSerial() {
  DWORD serial = 0;
  // No root given: the root of the current directory's drive.
  if (!GetVolumeInformationA(nullptr, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return 0;
  return serial;
}
