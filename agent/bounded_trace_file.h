#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "files/file_system.h"

// A text file kept open for appending, bounded and rotated: when the next
// text would take it past the limit, it becomes the older file (replacing
// the one before) and writing goes on in a new one, so the two hold at most
// twice the limit. It lives in the first of its folders that lets it be
// opened. Writing never waits: a text that cannot be written is dropped and
// the file closed, to be opened again only by the next Open.
class TBoundedTraceFile {
 public:
  // The folders are not owned and must outlive the file.
  TBoundedTraceFile(std::vector<IFileSystem*> folders, std::string name, std::string olderName,
                    uint32_t limit);
  TBoundedTraceFile(const TBoundedTraceFile&) = delete;
  TBoundedTraceFile& operator=(const TBoundedTraceFile&) = delete;

  // Opens the file unless it is open; true when it is open.
  bool Open();
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  // The open file no longer stands under its name with what was written to
  // it: someone deleted or emptied it. Writing on would go nowhere anyone
  // looks.
  bool Vanished() const;
  // Appends the text whole or not at all; a text longer than the limit is
  // dropped.
  void Write(const std::string& text);

 private:
  void Rotate();

  std::vector<IFileSystem*> folders_;
  const std::string name_;
  const std::string olderName_;
  const uint32_t limit_;
  IFileSystem* folder_ = nullptr;  // the folder of the open file
  std::unique_ptr<IFileWritable> file_;
  uint32_t size_ = 0;
};
