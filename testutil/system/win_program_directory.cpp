#include <windows.h>

#include "program_directory.h"

std::wstring ProgramDirectory() {
  // A path longer than the buffer comes back cut; the buffer grows until it
  // holds the whole path.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\') + 1);
}
