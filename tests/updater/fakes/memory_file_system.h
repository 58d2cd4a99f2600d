#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "files/file_system.h"

// Faults a memory disk plays, each counted from 1 over the whole disk
// (0: never).
struct TDiskFaults {
  // From this write on the disk is full: every write takes nothing and fails.
  uint32_t fullFromWrite = 0;
  // This rename (a Move that renames, or a Replace) is refused, leaving both
  // names as they were.
  uint32_t refusedRename = 0;
};

// Files in memory by their full name ("Update/cfg.bin"), shared by every
// file system made over the disk, with the faults it is told to play.
struct TMemoryDisk {
  std::map<std::string, std::string> files;
  TDiskFaults faults;
  uint32_t writes = 0;   // write calls so far
  uint32_t renames = 0;  // renames tried so far
  // Every name a write or a rename ever reached, and those whose writes
  // failed for want of room.
  std::set<std::string> namesWritten;
  std::set<std::string> namesRefusedWrite;

  // Counts one write to name; false when the disk is full.
  bool TakeWrite(const std::string& name);
  // Counts one rename; false when it is to be refused.
  bool TakeRename();
};

// A directory of a memory disk: names are relative to the root ("" for the
// library's own directory, "Update" for the one beside it). Directories
// themselves are not kept: any name can be written.
class TMemoryFileSystem final : public IFileSystem {
 public:
  TMemoryFileSystem(TMemoryDisk& disk, std::string root);

  uint32_t GetFreeSpace() override { return 1u << 20; }
  TResult Check() override { return TResult(); }
  uint32_t GetFileSize(const char* name) override;
  TResult Remove(const char* name) override;
  // A target named ".new" is copied then the source removed, as the
  // platform's updater build does; any other is renamed.
  TResult Move(const char* source, const char* target) override;
  TResult Replace(const char* source, const char* target) override;
  IFileReadable* OpenRead(const char* name) override;
  IFileWritable* OpenWrite(const char* name, uint32_t mode) override;
  TResult GetLastResult() override { return lastResult_; }
  // No descriptors here.
  int OpenHandle(const char*, uint32_t) override { return -1; }
  char* MakePath(char* buffer, const char* name) override;

  std::string FullName(const std::string& name) const;

 private:
  TResult Store(const TResult& result);
  TResult Rename(const std::string& source, const std::string& target);

  TMemoryDisk& disk_;
  std::string root_;
  TResult lastResult_;
};
