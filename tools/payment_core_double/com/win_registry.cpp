#include "win_registry.h"

#include "win_com_identity.h"

HRESULT SetClassesValue(const std::wstring& subkey, const wchar_t* valueName,
                        const std::wstring& value) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  status = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  RegCloseKey(key);
  return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteClassesTree(const std::wstring& subkey) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, subkey.c_str());
  return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

void DeleteClassesKeyIfEmpty(const std::wstring& subkey) {
  // RegDeleteKey refuses a key that still has subkeys.
  RegDeleteKeyW(HKEY_CLASSES_ROOT, subkey.c_str());
}

std::wstring ServerClassKey(const wchar_t* below) {
  std::wstring key = std::wstring(L"CLSID\\") + kDoubleServerClsidText;
  if (below) key += std::wstring(L"\\") + below;
  return key;
}
