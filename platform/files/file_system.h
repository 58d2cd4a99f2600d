#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include "files/file.h"
#include "system/result.h"

// File access by name, relative to one root directory beside the program.
class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  virtual uint32_t GetFreeSpace() = 0;
  virtual TResult Check() = 0;
  virtual uint32_t GetFileSize(const char* name) = 0;
  virtual TResult Remove(const char* name) = 0;
  virtual TResult Move(const char* source, const char* target) = 0;
  virtual IFileReadable* OpenRead(const char* name) = 0;
  virtual IFileWritable* OpenWrite(const char* name, uint32_t mode) = 0;
  virtual TResult GetLastResult() = 0;
  virtual int OpenHandle(const char* name, uint32_t mode) = 0;
  virtual char* MakePath(char* buffer, const char* name) = 0;
  // Puts source in target's place in one step, whatever the names: the
  // source's content is on the disk first, and the target name never goes
  // missing nor names part of a file. A file system that cannot do better
  // moves.
  virtual TResult Replace(const char* source, const char* target) { return Move(source, target); }
};

// Longest path a file system builds (including the terminating zero); longer
// paths are refused rather than cut. Windows' ANSI file calls take no longer
// paths; Linux takes what its own calls take.
#ifdef _WIN32
constexpr uint32_t kMaxPath = 260;
#else
constexpr uint32_t kMaxPath = 4096;
#endif

class TPCFileSystem : public IFileSystem {
 public:
  // root: the directory names are relative to; empty = names used as given.
  // A root too long to build paths from refuses every name joined to it.
  explicit TPCFileSystem(const char* root);
  // No root at all: every name is refused (never taken as given).
  explicit TPCFileSystem(const std::optional<std::string>& root);
  // Fails when the root cannot be used, so that nothing is looked for in
  // the current directory instead.
  TResult Check() override;
  TResult Remove(const char* name) override;
  TResult Move(const char* source, const char* target) override;
  // A rename replacing the target, flushed with its folder. The source takes
  // the target's owner and permission bits; with no target, one named like a
  // program file gets the permission to execute, as a copy onto that name
  // would.
  TResult Replace(const char* source, const char* target) override;
  IFileReadable* OpenRead(const char* name) override;
  IFileWritable* OpenWrite(const char* name, uint32_t mode) override;
  TResult GetLastResult() override { return lastResult_; }
  int OpenHandle(const char* name, uint32_t mode) override;
  // Fills buffer (kMaxPath bytes) with the full path of name and returns
  // it; an empty text when the path would not fit.
  char* MakePath(char* buffer, const char* name) override;
  const char* GetRoot() const { return root_; }

 protected:
  TResult Store(const TResult& result);
  // A failure code followed by the standard library's error number (the
  // agent's build carries the code alone).
  static TResult Failure(int32_t code, int error);
  // The directory of the code module (the text of its path before the last
  // separator), followed by "/" and subPath when that is not empty; none
  // when the module path is unknown, does not fit, or has no separator.
  static std::optional<std::string> RootBesideModule(char separator, const char* subPath);

 private:
  // Copies source through the ".new" path: read whole, write whole, then
  // remove the source.
  TResult CopyThenRemove(const char* source, const char* target);

  char root_[kMaxPath];
  bool rootFits_;
  TResult lastResult_;
};

// Makes the platform's file system for a directory beside the program module:
// root = module directory, followed by "/" and subPath when it is not empty.
IFileSystem* NewPlatformFileSystem(const char* subPath);

// The full path of the module that holds this code (the executable, or the
// shared library that contains the platform layer); its length, 0 on failure.
uint32_t GetCodeModulePath(char* buffer, uint32_t size);
