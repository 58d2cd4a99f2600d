#include "com_registration.h"

#include <shellapi.h>

namespace {

// The path goes in quotes, so that a directory with blanks in its name
// reaches the tool as one argument.
bool StartRegistrationTool(HWND owner, const std::wstring& arguments) {
  const HINSTANCE result =
      ShellExecuteW(owner, L"open", L"regsvr32", arguments.c_str(), nullptr, SW_SHOWNORMAL);
  // Values above 32 mean success; the handle is not a real one.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace

bool StartComServerRegistration(HWND owner, const std::wstring& path) {
  return StartRegistrationTool(owner, L"\"" + path + L"\"");
}

bool StartComServerUnregistration(HWND owner, const std::wstring& path) {
  return StartRegistrationTool(owner, L"/u \"" + path + L"\"");
}
