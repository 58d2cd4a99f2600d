#pragma once
#include <cstdint>

// The few descriptor and path calls that differ between the C runtimes of
// Windows and Linux. Failures answer -1 and leave the reason in errno, except
// where an error number is answered directly.
namespace file_io {

// How a file is to be opened, already resolved from the open-mode bits.
struct TOpenFlags {
  bool write = false;  // read and write; otherwise read only
  bool create = false;
  bool truncate = false;
  bool append = false;
  bool executable = false;  // permission 0777 instead of 0666 for a created file
  // Only a regular file; for writing, one that is neither a symbolic link
  // nor linked under another name (where files have such links).
  bool plainFileOnly = false;
};

// Opens in binary mode, shared for reading and writing with other openers.
int Open(const char* path, const TOpenFlags& flags);
int Close(int descriptor);
int32_t Read(int descriptor, void* buffer, uint32_t count);
int32_t Write(int descriptor, const void* buffer, uint32_t count);
// whence as for lseek (SEEK_SET, SEEK_CUR, SEEK_END); the new position or -1.
int64_t Seek(int descriptor, int64_t offset, int whence);
// Deletes a file (never a directory); 0, or -1 with errno.
int Unlink(const char* path);
// Renames source to target, replacing an existing target in one step so that
// the target name never goes missing; 0 or the error number (errno values).
int RenameReplacing(const char* source, const char* target);
// Writes what the system still holds of the file through to the disk, so
// that a rename after it never publishes a name whose content is yet to be
// written; 0 or the error number.
int FlushToDisk(const char* path);
// Lets whoever may read the file execute it too (nothing to do where files
// carry no such permission); 0 or the error number.
int AllowExecution(const char* path);

// Gives the file at path the owner and permission bits of the file at model,
// as far as the process may (only a privileged one gives a file away); 0,
// ENOENT when there is no model, or another error number.
int TakeOwnerAndModeOf(const char* model, const char* path);
// Writes the folder holding path through to the disk, so that a rename in
// it outlives a power cut; 0 or the error number.
int FlushFolderOf(const char* path);
// Takes an exclusive lock on an open file that every process opening the
// same file sees, held until the descriptor is closed; 0, EAGAIN when
// another holder has it, or another error number.
int TryLockExclusive(int descriptor);

}  // namespace file_io
