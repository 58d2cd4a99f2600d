#pragma once
#include "files/file_system.h"

// The process's working directory as a file system: names are used as
// given, relative to it.
class TWorkingFolder : public TPCFileSystem {
 public:
  TWorkingFolder() : TPCFileSystem("") {}
  // Not known here.
  uint32_t GetFreeSpace() override { return 0; }
  uint32_t GetFileSize(const char* name) override;
};
