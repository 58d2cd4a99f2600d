#pragma once
#include <cstdint>
#include <string>

#include "log/log_event.h"

enum : uint32_t {
  TRACE_MODE_NONE = 0,
  TRACE_MODE_FILE = 3,
};

// The updater's plain-text trace of its network conversation: every entry is
// appended to "qetrace.txt" in the application file system, without
// separators or timestamps. One per process, reached through
// GetSystemTracer(); it writes nothing until its owner enables it.
class TSystemTracer : public ILogger {
 public:
  void Log(const TLogEvent& event) override;

  // Modes other than TRACE_MODE_FILE write nothing.
  void SetMode(uint32_t mode) { mode_ = mode; }
  void Enable(bool enabled) { enabled_ = enabled; }
  uint32_t GetMode() const { return mode_; }
  bool IsEnabled() const { return enabled_; }

  // The bytes one event adds to the trace: its text, then its data on a line
  // of its own (binary data as uppercase hex followed by a line feed).
  static std::string FormatEntry(const TLogEvent& event);

 private:
  uint32_t mode_ = TRACE_MODE_NONE;
  bool enabled_ = false;
};

TSystemTracer& GetSystemTracer();

// Traces one text as an entry of its own.
void Trace(std::string text);
