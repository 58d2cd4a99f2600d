#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

// SHA-1 digests of served files, kept while a file keeps its size and
// modification time, so that an exchange does not read the whole release
// folder again. Shared by the server's threads.
class TDigestCache {
 public:
  // The digest (40 upper-case hexadecimal digits) and size of the regular
  // file at `path`, hashed only when it is new or has changed; false when it
  // cannot be read.
  bool Digest(const std::filesystem::path& path, std::string* sha1, uint64_t* size);

 private:
  struct TEntry {
    uint64_t size = 0;
    std::filesystem::file_time_type modified;
    std::string sha1;
  };

  std::mutex mutex_;
  std::map<std::string, TEntry> entries_;
};
