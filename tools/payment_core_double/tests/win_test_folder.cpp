#include "win_test_folder.h"

#include <windows.h>

#include <fstream>
#include <sstream>

#include "win_module_path.h"

namespace {

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring NewTemporaryFolder() {
  static int made = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"payment-core-double-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made) + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

}  // namespace

TTestFolder::TTestFolder(const std::vector<std::wstring>& filesBesideProgram)
    : folder_(NewTemporaryFolder()) {
  const std::wstring programFolder = FolderOf(ModulePathAt(reinterpret_cast<const void*>(&NewTemporaryFolder)));
  for (const std::wstring& name : filesBesideProgram) {
    CopyFileW((programFolder + name).c_str(), PathOf(name).c_str(), FALSE);
  }
}

TTestFolder::~TTestFolder() {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder_ + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      DeleteFileW(PathOf(found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder_.c_str());
}

void TTestFolder::WriteScenario(const std::string& bytes) const {
  std::ofstream(PathOf(L"scenario.ini").c_str(), std::ios::binary | std::ios::trunc) << bytes;
}

void TTestFolder::DeleteCallLog() const { DeleteFileW(PathOf(L"calls.log").c_str()); }

std::vector<std::string> TTestFolder::CallLog() const {
  std::ifstream file(PathOf(L"calls.log").c_str(), std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}
