#pragma once
#include "files/file_system.h"

// A file system in a directory beside the executable or shared library that
// holds this code.
class TPosixFileSystem : public TPCFileSystem {
 public:
  // Rooted at the module's directory, followed by "/" and subPath when it is
  // not empty.
  explicit TPosixFileSystem(const char* subPath);
  // KiB available to the caller on the file system of the current directory.
  uint32_t GetFreeSpace() override;
  uint32_t GetFileSize(const char* name) override;
};
