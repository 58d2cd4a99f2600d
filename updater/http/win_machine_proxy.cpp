#include <windows.h>
#include <winhttp.h>

#include "http/proxy_setting.h"

namespace {

// The setting's lists hold host names and patterns, plain ASCII.
std::string Narrow(const wchar_t* text) {
  std::string narrow;
  if (text == nullptr) return narrow;
  for (; *text != L'\0'; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
  return narrow;
}

}  // namespace

// What `netsh winhttp set proxy` stored; nothing when the machine goes
// straight to its servers.
TProxySetting ReadMachineProxySetting() {
  TProxySetting setting;
  WINHTTP_PROXY_INFO info = {};
  if (!WinHttpGetDefaultProxyConfiguration(&info)) return setting;
  if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
    setting.proxies = Narrow(info.lpszProxy);
    setting.bypass = Narrow(info.lpszProxyBypass);
  }
  if (info.lpszProxy != nullptr) GlobalFree(info.lpszProxy);
  if (info.lpszProxyBypass != nullptr) GlobalFree(info.lpszProxyBypass);
  return setting;
}
