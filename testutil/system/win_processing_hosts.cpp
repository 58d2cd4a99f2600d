#include <windows.h>

#include "processing_hosts.h"

namespace {

// The whole file, or nothing when it cannot be read. The file is a few
// lines long; anything past a sane size is not a configuration file.
bool ReadSmallFile(const std::wstring& path, std::string* content) {
  constexpr DWORD kLargest = 64 * 1024;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  content->assign(kLargest, '\0');
  DWORD count = 0;
  const bool read = ReadFile(file, &(*content)[0], kLargest, &count, nullptr) != 0;
  CloseHandle(file);
  content->resize(read ? count : 0);
  return read;
}

}  // namespace

TProcessingHosts LoadProcessingHosts(const std::wstring& path) {
  std::string content;
  if (!ReadSmallFile(path, &content)) return MissingFileHosts();
  return ParseProcessingHosts(content);
}
