#include "files/file_io.h"

#include <winsock2.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>

namespace file_io {
namespace {

// The C runtime's own translation of the system errors a rename can meet,
// so that callers see the same error numbers as from the runtime's calls.
int ErrnoFromSystemError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return EEXIST;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_DISK_FULL:
      return ENOSPC;
    default:
      return EINVAL;
  }
}

}  // namespace

int Open(const char* path, const TOpenFlags& flags) {
  int oflag = (flags.write ? _O_RDWR : _O_RDONLY) | _O_BINARY | _O_NOINHERIT;
  if (flags.create) oflag |= _O_CREAT;
  // A plain file is truncated only once it is known to be one.
  if (flags.truncate && !flags.plainFileOnly) oflag |= _O_TRUNC;
  if (flags.append) oflag |= _O_APPEND;
  // A link to a file elsewhere would be written there too.
  if (flags.plainFileOnly && flags.write) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      errno = EINVAL;
      return -1;
    }
  }
  // Windows has no execute permission: every created file is readable and
  // writable.
  const int descriptor = _sopen(path, oflag, _SH_DENYNO, _S_IREAD | _S_IWRITE);
  if (descriptor < 0 || !flags.plainFileOnly) return descriptor;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  BY_HANDLE_FILE_INFORMATION information{};
  // A device (COM1, CON) or a pipe would be read for ever; a file linked
  // under another name would be written there too.
  int error = 0;
  if (GetFileType(handle) != FILE_TYPE_DISK ||
      (flags.write && (!GetFileInformationByHandle(handle, &information) || information.nNumberOfLinks > 1))) {
    error = EINVAL;
  }
  if (error == 0 && flags.truncate) error = _chsize_s(descriptor, 0);
  if (error != 0) {
    _close(descriptor);
    errno = error;
    return -1;
  }
  return descriptor;
}

int Close(int descriptor) { return _close(descriptor); }

int32_t Read(int descriptor, void* buffer, uint32_t count) {
  if (count > INT32_MAX) count = INT32_MAX;
  return _read(descriptor, buffer, count);
}

int32_t Write(int descriptor, const void* buffer, uint32_t count) {
  if (count > INT32_MAX) count = INT32_MAX;
  return _write(descriptor, buffer, count);
}

int64_t Seek(int descriptor, int64_t offset, int whence) {
  return _lseeki64(descriptor, offset, whence);
}

int Unlink(const char* path) { return _unlink(path); }

int RenameReplacing(const char* source, const char* target) {
  if (MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
  return ErrnoFromSystemError(GetLastError());
}

int FlushToDisk(const char* path) {
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ErrnoFromSystemError(GetLastError());
  const int error = FlushFileBuffers(file) ? 0 : ErrnoFromSystemError(GetLastError());
  CloseHandle(file);
  return error;
}

int AllowExecution(const char*) { return 0; }

// Windows files have no mode bits to carry over.
int TakeOwnerAndModeOf(const char*, const char*) { return 0; }

// The rename itself is written through (MOVEFILE_WRITE_THROUGH).
int FlushFolderOf(const char*) { return 0; }

int TryLockExclusive(int descriptor) {
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  if (file == INVALID_HANDLE_VALUE) return EBADF;
  OVERLAPPED start = {};
  if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &start)) return 0;
  const DWORD error = GetLastError();
  return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? EAGAIN : ErrnoFromSystemError(error);
}

}  // namespace file_io
