#pragma once
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "files/file_system.h"
#include "http/system_tracer.h"
#include "system/system.h"

// Switches the tracer to its trace file for the life of the capture and
// hands back only what was appended meanwhile: other test programs may trace
// into the same file at the same time.
class TTraceCapture {
 public:
  explicit TTraceCapture(bool enabled = true) {
    char path[kMaxPath] = {};
    path_ = GetSystem()->GetAppFileSystem()->MakePath(path, "qetrace.txt");
    start_ = Contents().size();
    GetSystemTracer().SetMode(TRACE_MODE_FILE);
    GetSystemTracer().Enable(enabled);
  }
  ~TTraceCapture() {
    GetSystemTracer().Enable(false);
    GetSystemTracer().SetMode(TRACE_MODE_NONE);
  }
  TTraceCapture(const TTraceCapture&) = delete;
  TTraceCapture& operator=(const TTraceCapture&) = delete;

  std::string Appended() const {
    const std::string all = Contents();
    return all.size() > start_ ? all.substr(start_) : std::string();
  }

 private:
  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::string path_;
  size_t start_ = 0;
};
