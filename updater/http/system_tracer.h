#pragma once
#include <cstdint>
#include <string>

#include "log/log_event.h"

enum : uint32_t {
  TRACE_MODE_NONE = 0,
  TRACE_MODE_FILE = 3,
};

class IFileSystem;

// The updater's plain-text trace of its network conversation: every entry is
// appended to "qetrace.txt" in the library's directory, without separators
// or timestamps. The process has one, reached through GetSystemTracer(); it
// writes nothing until its owner enables it.
class TSystemTracer : public ILogger {
 public:
  // The directory of the trace file; not owned.
  explicit TSystemTracer(IFileSystem* files) : files_(files) {}

  void Log(const TLogEvent& event) override;
  // Traces one text as an entry of its own.
  void Write(std::string text);

  // Modes other than TRACE_MODE_FILE write nothing.
  void SetMode(uint32_t mode) { mode_ = mode; }
  void Enable(bool enabled) { enabled_ = enabled; }
  uint32_t GetMode() const { return mode_; }
  bool IsEnabled() const { return enabled_; }

  // The bytes one event adds to the trace: its text, then its data on a line
  // of its own (binary data as uppercase hex followed by a line feed).
  static std::string FormatEntry(const TLogEvent& event);

 private:
  IFileSystem* files_;
  uint32_t mode_ = TRACE_MODE_NONE;
  bool enabled_ = false;
};

// The process's tracer, over the platform's application file system.
TSystemTracer& GetSystemTracer();

// Traces one text through the process's tracer.
void Trace(std::string text);
