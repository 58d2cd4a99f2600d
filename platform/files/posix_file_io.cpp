#include "files/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace file_io {

int Open(const char* path, const TOpenFlags& flags) {
  int oflag = (flags.write ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  if (flags.create) oflag |= O_CREAT;
  if (flags.truncate) oflag |= O_TRUNC;
  if (flags.append) oflag |= O_APPEND;
  const int descriptor = open(path, oflag, flags.executable ? 0777 : 0666);
  // Linux lets a folder be opened for reading, and its "size" is then
  // meaningless (huge on some file systems); Windows refuses, and so do we.
  struct stat status;
  if (descriptor >= 0 && fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
    close(descriptor);
    errno = EISDIR;
    return -1;
  }
  return descriptor;
}

int Close(int descriptor) { return close(descriptor); }

int32_t Read(int descriptor, void* buffer, uint32_t count) {
  if (count > INT32_MAX) count = INT32_MAX;
  return static_cast<int32_t>(read(descriptor, buffer, count));
}

int32_t Write(int descriptor, const void* buffer, uint32_t count) {
  if (count > INT32_MAX) count = INT32_MAX;
  return static_cast<int32_t>(write(descriptor, buffer, count));
}

int64_t Seek(int descriptor, int64_t offset, int whence) {
  return lseek(descriptor, static_cast<off_t>(offset), whence);
}

int Unlink(const char* path) { return unlink(path); }

int RenameReplacing(const char* source, const char* target) {
  return std::rename(source, target) == 0 ? 0 : errno;
}

int FlushToDisk(const char* path) {
  const int descriptor = open(path, O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return errno;
  const int error = fsync(descriptor) == 0 ? 0 : errno;
  close(descriptor);
  return error;
}

int AllowExecution(const char* path) {
  struct stat status;
  if (stat(path, &status) != 0) return errno;
  // As a file created with 0777 would have been under the same umask.
  const mode_t readers = status.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
  return chmod(path, (status.st_mode & 07777) | (readers >> 2)) == 0 ? 0 : errno;
}

int TakeOwnerAndModeOf(const char* model, const char* path) {
  struct stat status;
  if (stat(model, &status) != 0) return errno;
  if (chown(path, status.st_uid, status.st_gid) != 0) {
    if (errno != EPERM) return errno;
    // A user may still hand the file to a group of its own.
    if (chown(path, static_cast<uid_t>(-1), status.st_gid) != 0 && errno != EPERM) return errno;
  }
  // After the owner: changing it clears the set-user and set-group bits.
  return chmod(path, status.st_mode & 07777) == 0 ? 0 : errno;
}

int FlushFolderOf(const char* path) {
  const char* separator = std::strrchr(path, '/');
  const std::string folder = !separator ? "." : separator == path ? "/" : std::string(path, separator);
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return errno;
  const int error = fsync(descriptor) == 0 ? 0 : errno;
  close(descriptor);
  return error;
}

int TryLockExclusive(int descriptor) {
  if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) return 0;
  return errno == EWOULDBLOCK ? EAGAIN : errno;
}

}  // namespace file_io
