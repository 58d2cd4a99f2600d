#include "digest_cache.h"
#include <fstream>
#include <memory>
#include "sha1.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kReadPiece = 1 << 20;

bool HashFile(const fs::path& path, std::string* sha1, uint64_t* size) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  TSha1 digest;
  std::unique_ptr<char[]> piece(new char[kReadPiece]);
  uint64_t total = 0;
  while (in) {
    in.read(piece.get(), kReadPiece);
    const size_t count = static_cast<size_t>(in.gcount());
    digest.Update(piece.get(), count);
    total += count;
  }
  if (in.bad()) return false;
  *sha1 = digest.Final().ToHex();
  *size = total;
  return true;
}

}  // namespace

bool TDigestCache::Digest(const fs::path& path, std::string* sha1, uint64_t* size) {
  // Size and time are taken before the content is read: a file that changes
  // while it is hashed shows a newer time next time and is hashed again.
  std::error_code error;
  const uint64_t listedSize = fs::file_size(path, error);
  if (error) return false;
  const fs::file_time_type modified = fs::last_write_time(path, error);
  if (error) return false;
  const std::string key = path.string();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = entries_.find(key);
    if (found != entries_.end() && found->second.size == listedSize && found->second.modified == modified) {
      *sha1 = found->second.sha1;
      *size = listedSize;
      return true;
    }
  }
  if (!HashFile(path, sha1, size)) return false;
  if (*size == listedSize) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_[key] = TEntry{listedSize, modified, *sha1};
  }
  return true;
}
