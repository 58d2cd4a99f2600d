#pragma once
#include <cstdint>
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
