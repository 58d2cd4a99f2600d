#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "digest_cache.h"

struct TListedFile {
  std::string name;
  uint64_t size = 0;
  std::string sha1;  // 40 upper-case hexadecimal digits
};

// The regular files at the top of `folder`, sorted by name, with digests
// from `digests` (hashed when new or changed). Names the updater could not
// carry (its JSON has no escapes and its URLs are not encoded) are left out
// with a note on standard error.
std::vector<TListedFile> ListFolder(const std::string& folder, TDigestCache& digests);

// The content of the file `name` at the top of `folder`; false for a name
// that would leave the folder (absolute, "..", any separator) or a file
// that cannot be read.
bool ReadServedFile(const std::string& folder, const std::string& name, std::string* content);
