#include "folder_listing.h"
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

bool IsCarryableName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-' || c == '~';
  });
}

bool StaysInFolder(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\:") == std::string::npos;
}

bool ReadWholeFile(const fs::path& path, std::string* content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  *content = bytes.str();
  return !in.bad();
}

}  // namespace

std::vector<TListedFile> ListFolder(const std::string& folder, TDigestCache& digests) {
  std::vector<TListedFile> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    TListedFile file;
    file.name = entry.path().filename().string();
    if (!IsCarryableName(file.name)) {
      std::fprintf(stderr, "update-server: not listing \"%s\": the updater cannot carry its name\n",
                   file.name.c_str());
      continue;
    }
    if (digests.Digest(entry.path(), &file.sha1, &file.size)) files.push_back(file);
  }
  if (error) std::fprintf(stderr, "update-server: cannot list %s: %s\n", folder.c_str(), error.message().c_str());
  std::sort(files.begin(), files.end(),
            [](const TListedFile& a, const TListedFile& b) { return a.name < b.name; });
  return files;
}

bool ReadServedFile(const std::string& folder, const std::string& name, std::string* content) {
  if (!StaysInFolder(name)) return false;
  const fs::path path = fs::path(folder) / name;
  std::error_code error;
  return fs::is_regular_file(path, error) && ReadWholeFile(path, content);
}
