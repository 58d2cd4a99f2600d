#include "files/file_lock.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include "files/file_io.h"

std::unique_ptr<TFileLock> TFileLock::Acquire(const char* path, uint32_t waitMilliseconds, int* error) {
  file_io::TOpenFlags flags;
  flags.write = flags.create = flags.plainFileOnly = true;
  int descriptor = file_io::Open(path, flags);
  // A lock file made by another user may be readable only: opened for
  // reading, it locks all the same.
  if (descriptor < 0 && errno == EACCES) {
    flags.write = flags.create = false;
    descriptor = file_io::Open(path, flags);
  }
  if (descriptor < 0) {
    *error = errno;
    return nullptr;
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
  for (;;) {
    *error = file_io::TryLockExclusive(descriptor);
    if (*error == 0) return std::unique_ptr<TFileLock>(new TFileLock(descriptor));
    if (*error != EAGAIN || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  file_io::Close(descriptor);
  return nullptr;
}

TFileLock::~TFileLock() { file_io::Close(descriptor_); }
