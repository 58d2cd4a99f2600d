#pragma once
#include <cstdint>
#include <set>
#include <string>

#include "files/byte_buffer.h"
#include "files/file_system.h"
#include "system/result.h"

enum : int32_t {
  RESULT_FILE_LIST_SAVE_FAILED = 31001,
};

// The server-managed files of one directory, as named by its "filelist.txt",
// and the hashes the update server compares: one per file, and their sum for
// the whole directory.
class TFileList {
 public:
  static constexpr size_t kMaxLineLength = 200;
  // Where the list is written before it takes its name.
  static constexpr const char* kWorkName = "filelist.tmp";

  struct TFileHash {
    TByteBuffer hash;  // 20 bytes
    uint32_t size = 0;
  };

  // The file system is not owned and must outlive the list.
  explicit TFileList(IFileSystem* fileSystem);

  // Replaces the names by those of the list file; false when it cannot be
  // opened (the list is then empty).
  bool Load();
  void Add(const std::string& name);
  // The names in ascending byte order, one a call; empty text at the end.
  std::string NextName();
  // The SHA-1 of the file's content and its size. Never fails: a missing or
  // empty file falls back to its 20-byte ".hsh" companion, else to the digest
  // of empty input.
  TFileHash HashFile(const std::string& name);
  // Reloads the list and adds up the hashes of its files byte by byte
  // (mod 256, no carry), so the sum is independent of the order.
  TByteBuffer CombinedHash();
  // Writes the names in ascending order, each ended by CR LF; the old list
  // stays as it was unless the new one is complete.
  TResult Save();

  const std::set<std::string>& Names() const { return names_; }

 private:
  std::string listName_;
  IFileSystem* files_;
  std::set<std::string> names_;
  // The iteration resumes after the last name handed out, so names added
  // meanwhile are not skipped.
  bool iterating_ = false;
  std::string lastName_;
};
