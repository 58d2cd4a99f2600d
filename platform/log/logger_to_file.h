#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include "log/log_event.h"

class IFileSystem;

// Appends one timestamped line per event to a file of a file system, with
// binary data as a hex and character dump. Without a file system it writes
// nothing.
class TLoggerToFile : public ILogger {
 public:
  TLoggerToFile(const char* fileName, IFileSystem* fileSystem, uint32_t maxSize = 0);
  void Log(const TLogEvent& event) override;
  const char* GetFileName() const { return fileName_; }

 protected:
  void SetLogFile(const char* fileName, IFileSystem* fileSystem);

 private:
  void KeepNewestHalf();

  char fileName_[256];
  IFileSystem* fileSystem_;  // not owned
  uint32_t maxSize_;
};

// The text a logger writes for one event at the given time: the line
// "dd.mm hh:mm:ss text" with its data and the closing CR LF.
std::string FormatLogEntry(const TLogEvent& event, uint32_t date, uint32_t time);

// Bytes as the logs show them, in rows of 16: each byte in hex, then '|' and
// the bytes as characters (control bytes as dots). Rows after the first go
// on a new line, indented by indent blanks and the lead character, so that
// they line up under a first row that follows indent characters and lead.
void AppendLogDump(std::string& out, char lead, const uint8_t* data, uint32_t length, size_t indent);
