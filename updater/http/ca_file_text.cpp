#include "http/ca_file_text.h"

#include <cstdint>

#include "files/file_io.h"

namespace {

// A CA file is a handful of certificates; anything far larger is not one.
constexpr size_t kMaxCaFileBytes = 1024 * 1024;

}  // namespace

bool ReadCaFileText(const std::string& path, std::string* text, std::string* reason) {
  file_io::TOpenFlags flags;
  flags.plainFileOnly = true;
  const int descriptor = file_io::Open(path.c_str(), flags);
  if (descriptor < 0) {
    *reason = "the CA file cannot be read (" + path + ")";
    return false;
  }
  text->clear();
  char piece[16384];
  int32_t count = 0;
  while (text->size() <= kMaxCaFileBytes && (count = file_io::Read(descriptor, piece, sizeof piece)) > 0) {
    text->append(piece, static_cast<size_t>(count));
  }
  file_io::Close(descriptor);
  if (count < 0) {
    *reason = "the CA file cannot be read (" + path + ")";
    return false;
  }
  if (text->size() > kMaxCaFileBytes) {
    *reason = "the CA file is too large (" + path + ")";
    return false;
  }
  return true;
}
