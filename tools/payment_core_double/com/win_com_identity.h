#pragma once
#include <windows.h>

// The double's automation server: the class that dlfx.dll serves, and the
// ProgID by which dlfxcom.dll makes it known.
inline constexpr CLSID kDoubleServerClsid = {
    0xc6165f79, 0x39f7, 0x46cd, {0xa7, 0xe2, 0xff, 0x62, 0xc8, 0xd6, 0x48, 0xff}};
inline constexpr wchar_t kDoubleServerClsidText[] = L"{C6165F79-39F7-46CD-A7E2-FF62C8D648FF}";
inline constexpr wchar_t kDoubleServerProgId[] = L"DLFXSRV.Server";
inline constexpr wchar_t kDoubleServerDescription[] = L"TAVO payment core double";
