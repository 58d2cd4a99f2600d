#include "updater_library.h"
#include <windows.h>
#include <algorithm>

namespace {

// LoadLibraryA wants backslashes in a path, and a full path so that no
// search order decides which file is loaded.
std::string FullWindowsPath(const std::string& folder, const std::string& fileName) {
  std::string path = folder + "\\" + fileName;
  std::replace(path.begin(), path.end(), '/', '\\');
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? std::string(full, length) : path;
}

}  // namespace

TCheckForUpdates LoadCheckForUpdates(const std::string& folder, const std::string& fileName,
                                     std::string* error) {
  const std::string path = FullWindowsPath(folder, fileName);
  HMODULE library = LoadLibraryA(path.c_str());
  if (!library) {
    *error = "cannot load " + path + ": Windows error " + std::to_string(GetLastError());
    return nullptr;
  }
  FARPROC address = GetProcAddress(library, "CheckForUpdates");
  if (!address) {
    *error = path + " has no export CheckForUpdates";
    return nullptr;
  }
  return reinterpret_cast<TCheckForUpdates>(reinterpret_cast<void*>(address));
}
