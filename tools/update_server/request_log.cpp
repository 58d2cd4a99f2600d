#include "request_log.h"
#include <cinttypes>

TSentBody& CurrentSentBody() {
  thread_local TSentBody sent;
  return sent;
}

bool TRequestLog::Open(const std::string& fileName) {
  if (fileName.empty()) return true;
  file_ = std::fopen(fileName.c_str(), "a");
  return file_ != nullptr;
}

TRequestLog::~TRequestLog() {
  if (file_ && file_ != stdout) std::fclose(file_);
}

void TRequestLog::Write(const std::string& method, const std::string& target, int status,
                        const TSentBody& sent) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(file_, "%s %s %d %" PRIu64 "%s%s\n", method.c_str(), target.c_str(), status, sent.bytes,
               sent.note.empty() ? "" : " ", sent.note.c_str());
  std::fflush(file_);
}
