#pragma once
#include <cstdint>
#include <memory>

// Something held for as long as it lives.
class THold {
 public:
  virtual ~THold() = default;
};

// An exclusive lock on a file, seen by every process that locks the same
// file, held until the object goes (or its process ends). The file stays.
class TFileLock final : public THold {
 public:
  // Tries again every 50 ms for up to waitMilliseconds while another holder
  // has the lock. Null with *error EAGAIN when it is still held then, or
  // with the reason the file can be neither opened nor made.
  static std::unique_ptr<TFileLock> Acquire(const char* path, uint32_t waitMilliseconds, int* error);
  ~TFileLock() override;
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

 private:
  explicit TFileLock(int descriptor) : descriptor_(descriptor) {}
  int descriptor_;
};
