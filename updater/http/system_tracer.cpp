#include "http/system_tracer.h"

#include <memory>
#include <utility>

#include "files/file.h"
#include "files/file_system.h"
#include "system/system.h"

namespace {

const char kTraceFileName[] = "qetrace.txt";

void AppendHex(std::string& out, const uint8_t* data, uint32_t length) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (uint32_t i = 0; i < length; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 0x0F];
  }
}

}  // namespace

std::string TSystemTracer::FormatEntry(const TLogEvent& event) {
  std::string entry(event.GetText(), event.GetTextLength());
  const uint32_t length = event.DataLength();
  if (length == 0) return entry;
  entry += '\n';
  if (event.IsBinary()) {
    AppendHex(entry, event.Data(), length);
    entry += '\n';
  } else {
    entry.append(reinterpret_cast<const char*>(event.Data()), length);
  }
  return entry;
}

void TSystemTracer::Log(const TLogEvent& event) {
  if (!enabled_ || mode_ != TRACE_MODE_FILE || files_ == nullptr) return;
  // Opened and closed for every entry, so that the trace is complete on disk
  // whenever the process ends.
  std::unique_ptr<IFileWritable> file(files_->OpenWrite(kTraceFileName, OPEN_CREATE_APPEND));
  if (!file) return;
  const std::string entry = FormatEntry(event);
  file->Write(entry.data(), static_cast<uint32_t>(entry.size()));
}

void TSystemTracer::Write(std::string text) { Log(TSysTraceLine(std::move(text))); }

TSystemTracer& GetSystemTracer() {
  static TSystemTracer tracer(GetSystem()->GetAppFileSystem());
  return tracer;
}

void Trace(std::string text) { GetSystemTracer().Write(std::move(text)); }
