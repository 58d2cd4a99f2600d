#include "files/posix_file_system.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <new>

TPosixFileSystem::TPosixFileSystem(const char* subPath)
    : TPCFileSystem(RootBesideModule('/', subPath)) {}

uint32_t TPosixFileSystem::GetFreeSpace() {
  struct statvfs info;
  if (statvfs(".", &info) != 0) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(info.f_bavail) * info.f_frsize / 1024);
}

uint32_t TPosixFileSystem::GetFileSize(const char* name) {
  char path[kMaxPath];
  struct stat info;
  // Only regular files have a size to report, as on Windows, where a
  // directory's size reads as 0.
  if (!*MakePath(path, name) || stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  return static_cast<uint32_t>(info.st_size);
}

IFileSystem* NewPlatformFileSystem(const char* subPath) {
  return new (std::nothrow) TPosixFileSystem(subPath);
}
