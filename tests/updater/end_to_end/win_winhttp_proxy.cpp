// usage: winhttp-proxy [PROXY [BYPASS]]
// Sets the machine's WinHTTP proxy as `netsh winhttp set proxy PROXY BYPASS`
// does, or with no argument goes back to none (`netsh winhttp reset proxy`).
// Wine's netsh is a stub that sets nothing.
#include <windows.h>
#include <winhttp.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  std::wstring proxy = argc > 1 ? argv[1] : L"";
  std::wstring bypass = argc > 2 ? argv[2] : L"";
  WINHTTP_PROXY_INFO info = {};
  info.dwAccessType = proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  info.lpszProxy = proxy.empty() ? nullptr : &proxy[0];
  info.lpszProxyBypass = bypass.empty() ? nullptr : &bypass[0];
  if (!WinHttpSetDefaultProxyConfiguration(&info)) {
    std::fprintf(stderr, "WinHttpSetDefaultProxyConfiguration failed: %lu\n", GetLastError());
    return 1;
  }
  return 0;
}
