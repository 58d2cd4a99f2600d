#include <windows.h>

#include "serial_port_list.h"

namespace {

// The text of a REG_SZ value as stored: its terminating NUL, when the writer
// stored one, is no part of it.
std::wstring ValueText(const std::vector<wchar_t>& data, DWORD bytes) {
  std::wstring text(data.data(), bytes / sizeof(wchar_t));
  const size_t end = text.find(L'\0');
  if (end != std::wstring::npos) text.erase(end);
  return text;
}

}  // namespace

std::vector<std::wstring> ListSerialPorts() {
  std::vector<std::wstring> ports;
  HKEY map = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &map) !=
      ERROR_SUCCESS) {
    return ports;
  }
  DWORD count = 0;
  DWORD longestName = 0;
  DWORD longestData = 0;
  if (RegQueryInfoKeyW(map, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                       &longestName, &longestData, nullptr, nullptr) == ERROR_SUCCESS) {
    std::vector<wchar_t> name(longestName + 1);
    std::vector<wchar_t> data(longestData / sizeof(wchar_t) + 1);
    for (DWORD index = 0; index < count; ++index) {
      DWORD nameLength = static_cast<DWORD>(name.size());
      DWORD type = 0;
      DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
      if (RegEnumValueW(map, index, name.data(), &nameLength, nullptr, &type,
                        reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS) {
        break;
      }
      if (type == REG_SZ) ports.push_back(ValueText(data, bytes));
    }
  }
  RegCloseKey(map);
  return ports;
}
