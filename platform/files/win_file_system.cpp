#include "files/win_file_system.h"

#include <winsock2.h>
#include <windows.h>
#undef GetFreeSpace

#include <new>

TWinFileSystem::TWinFileSystem(const char* subPath)
    : TPCFileSystem(RootBesideModule('\\', subPath)) {}

uint32_t TWinFileSystem::GetFreeSpace() {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(nullptr, &available, nullptr, nullptr)) return 0;
  return static_cast<uint32_t>(available.QuadPart / 1024);
}

uint32_t TWinFileSystem::GetFileSize(const char* name) {
  char path[kMaxPath];
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!*MakePath(path, name) || !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
  return data.nFileSizeLow;
}

IFileSystem* NewPlatformFileSystem(const char* subPath) {
  return new (std::nothrow) TWinFileSystem(subPath);
}
