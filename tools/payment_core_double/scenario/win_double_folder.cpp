#include "win_double_folder.h"

#include <windows.h>

#include "win_module_path.h"

namespace {

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

}  // namespace

TWinDoubleFolder::TWinDoubleFolder(const void* codeAddress) : folder_(FolderOf(ModulePathAt(codeAddress))) {}

std::string TWinDoubleFolder::ReadScenario() {
  // Shared for writing too: a test may be rewriting the scenario meanwhile.
  HANDLE file = CreateFileW((folder_ + L"scenario.ini").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
  return text;
}

void TWinDoubleFolder::AppendToCallLog(const std::string& line) {
  // Append-only access puts every line at the end even when the library and
  // the COM server, in the same or in different processes, log at once.
  HANDLE file = CreateFileW((folder_ + L"calls.log").c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}
