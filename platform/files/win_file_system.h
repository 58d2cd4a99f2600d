#pragma once
#include "files/file_system.h"

// A file system in a directory beside the module (executable or DLL) that
// holds this code.
class TWinFileSystem : public TPCFileSystem {
 public:
  // Rooted at the module's directory, followed by "/" and subPath when it is
  // not empty.
  explicit TWinFileSystem(const char* subPath);
  // KiB available to the caller on the current drive.
  uint32_t GetFreeSpace() override;
  uint32_t GetFileSize(const char* name) override;
};
