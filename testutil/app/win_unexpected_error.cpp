#include "win_unexpected_error.h"

#include <string>

#include "form_layout.h"

namespace {

// Exception texts are UTF-8 (or plain ASCII from the runtime).
std::wstring Widen(const char* text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], length);
  wide.resize(static_cast<size_t>(length - 1));
  return wide;
}

}  // namespace

void ShowUnexpectedError(HWND owner, const std::exception& error) {
  MessageBoxW(owner, Widen(error.what()).c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
}
