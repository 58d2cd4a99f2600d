#include <windows.h>

#include "disk_search.h"

namespace {

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

}  // namespace

std::vector<std::wstring> GetDiscs() {
  std::vector<std::wstring> roots;
  const DWORD drives = GetLogicalDrives();
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    if (!(drives & (1u << (letter - L'A')))) continue;
    const std::wstring root = std::wstring(1, letter) + L":\\";
    if (GetDriveTypeW(root.c_str()) == DRIVE_FIXED) roots.push_back(root);
  }
  return roots;
}

void ScanDir(const std::wstring& directory, const std::wstring& fileName,
             std::vector<std::wstring>& found, const TScanProgress& progress) {
  std::wstring here = directory;
  if (here.empty() || here.back() != L'\\') here += L'\\';
  if (progress) progress(here);
  WIN32_FIND_DATAW entry;
  const HANDLE listing = FindFirstFileW((here + L"*.*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!IsDotEntry(entry.cFileName) && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ScanDir(here + entry.cFileName + L"\\", fileName, found, progress);
      }
    } else if (fileName == entry.cFileName) {
      found.push_back(here);
    }
  } while (FindNextFileW(listing, &entry));
  FindClose(listing);
}
