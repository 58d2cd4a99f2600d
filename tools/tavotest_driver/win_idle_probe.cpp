#include "win_idle_probe.h"

#include <string>

#include "driver_failure.h"

namespace {

const UINT kPollMs = 200;

bool TrySend(HWND window, UINT message, WPARAM wParam, LRESULT* result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, message, wParam, 0, SMTO_NORMAL, kPollMs, &answer)) return false;
  *result = static_cast<LRESULT>(answer);
  return true;
}

}  // namespace

void TIdleProbe::CheckWaiting(ULONGLONG deadline, DWORD milliseconds, const char* what) const {
  DWORD exitCode = 0;
  if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(process_, &exitCode)) {
    throw TDriverFailure(std::string("the program ended (exit code ") + std::to_string(exitCode) + ") " + what);
  }
  if (!IsWindow(marker_)) throw TDriverFailure(std::string("the main window is gone ") + what);
  if (GetTickCount64() >= deadline) {
    throw TDriverFailure(std::string("the program was still busy after ") + std::to_string(milliseconds / 1000) +
                         " s " + what);
  }
  Sleep(20);
}

void TIdleProbe::Act(const std::function<void()>& post, DWORD milliseconds) const {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  LRESULT answer = 0;
  while (!TrySend(marker_, EM_SETMODIFY, FALSE, &answer)) CheckWaiting(deadline, milliseconds, "before the action");
  post();
  if (!PostMessageW(marker_, EM_SETMODIFY, TRUE, 0)) throw TDriverFailure("cannot post to the program");
  LRESULT modified = 0;
  while (!TrySend(marker_, EM_GETMODIFY, 0, &modified) || !modified) {
    CheckWaiting(deadline, milliseconds, "while handling the action");
  }
}
