#include "win_program.h"

#include "driver_failure.h"
#include "win_controls.h"
#include "win_utf8.h"

namespace {

struct TWindowSearch {
  DWORD processId;
  const std::wstring* className;
  const std::wstring* caption;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TWindowSearch*>(parameter);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search->processId || ClassOf(window) != *search->className) return TRUE;
  if (!IsWindowVisible(window)) return TRUE;
  if (search->caption && StoredCaption(window) != *search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

TProgram::~TProgram() {
  if (process_) CloseHandle(process_);
}

void TProgram::Start(const std::wstring& path, const std::wstring& arguments) {
  if (process_) throw TDriverFailure("the program was started already");
  wchar_t full[MAX_PATH * 2] = {};
  wchar_t* name = nullptr;
  if (!GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, &name) || !name) {
    throw TDriverFailure("not a program path: " + WideToUtf8(path));
  }
  const std::wstring folder(full, name);
  std::wstring commandLine = L"\"" + std::wstring(full) + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(full, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &started)) {
    throw TDriverFailure("cannot start " + WideToUtf8(full) + " (error " + std::to_string(GetLastError()) + ")");
  }
  CloseHandle(started.hThread);
  process_ = started.hProcess;
  id_ = started.dwProcessId;
}

bool TProgram::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

HWND TProgram::FindWindow(const std::wstring& className, const std::wstring* caption) const {
  TWindowSearch search = {id_, &className, caption, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool TProgram::WaitForExit(DWORD milliseconds, DWORD* exitCode) const {
  if (!process_ || WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(process_, exitCode);
  return true;
}

void TProgram::Terminate() {
  if (!Running()) return;
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, 5000);
}
