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
  if (flags.append) oflag |= O_APPEND;
  // A plain file is truncated only once it is known to be one; opening does
  // not wait for a pipe's other end.
  if (flags.truncate && !flags.plainFileOnly) oflag |= O_TRUNC;
  if (flags.plainFileOnly) oflag |= O_NONBLOCK | (flags.write ? O_NOFOLLOW : 0);
  const int descriptor = open(path, oflag, flags.executable ? 0777 : 0666);
  if (descriptor < 0) return -1;
  struct stat status;
  int error = fstat(descriptor, &status) == 0 ? 0 : errno;
  // Linux lets a folder be opened for reading, and its "size" is then
  // meaningless (huge on some file systems); Windows refuses, and so do we.
  if (error == 0 && S_ISDIR(status.st_mode)) error = EISDIR;
  if (error == 0 && flags.plainFileOnly) {
    // A device or a pipe would be read for ever; a file linked from
    // elsewhere would be written there too.
    if (!S_ISREG(status.st_mode) || (flags.write && status.st_nlink > 1)) error = EINVAL;
    if (error == 0 && fcntl(descriptor, F_SETFL, oflag & O_APPEND) != 0) error = errno;
    if (error == 0 && flags.truncate && ftruncate(descriptor, 0) != 0) error = errno;
  }
  if (error != 0) {
    close(descriptor);
    errno = error;
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
  struct stat now;
  if (stat(path, &now) != 0) return errno;
  // The set-user and set-group bits belong to the owner that the file could
  // not be given: they would make the download run as this process's user.
  mode_t mode = status.st_mode & 07777;
  if (now.st_uid != status.st_uid) mode &= ~static_cast<mode_t>(S_ISUID);
  if (now.st_gid != status.st_gid) mode &= ~static_cast<mode_t>(S_ISGID);
  // After the owner: changing it clears the set-user and set-group bits.
  return chmod(path, mode) == 0 ? 0 : errno;
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
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EAGAIN : errno;
  // Wine's LockFileEx takes a byte-range lock instead, which flock does not
  // see: the first byte is locked that way too (on this open file, so that
  // other descriptors of the process leave it alone).
  const int access = fcntl(descriptor, F_GETFL);
  struct flock range = {};
  range.l_type = (access & O_ACCMODE) == O_RDONLY ? F_RDLCK : F_WRLCK;
  range.l_whence = SEEK_SET;
  range.l_len = 1;
  if (fcntl(descriptor, F_OFD_SETLK, &range) == 0) return 0;
  const int error = errno == EACCES || errno == EAGAIN ? EAGAIN : errno;
  flock(descriptor, LOCK_UN);
  return error;
}

}  // namespace file_io
