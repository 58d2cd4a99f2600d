#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

// What the answer being written on this thread has sent of its body, and
// how it ended when not normally; the request log reads it once the answer
// is out (the server writes each answer on the thread that handled it).
struct TSentBody {
  uint64_t bytes = 0;
  std::string note;  // "cut", "stall", "reset"; empty for a whole answer
};
TSentBody& CurrentSentBody();

// One line per request, "METHOD target status bytes [note]", flushed at once
// so that tests can follow it while the server runs.
class TRequestLog {
 public:
  // Standard output for an empty file name; false when the file cannot be
  // opened.
  bool Open(const std::string& fileName);
  ~TRequestLog();
  void Write(const std::string& method, const std::string& target, int status, const TSentBody& sent);

 private:
  std::mutex mutex_;
  std::FILE* file_ = stdout;
};
