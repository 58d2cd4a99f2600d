// dlfxcom.dll: makes the double's class known by its ProgID
// "DLFXSRV.Server". The class itself is served and registered by dlfx.dll,
// so creation by ProgID works only while both files are registered.
#include <windows.h>
#include <olectl.h>

#include "win_com_identity.h"
#include "win_registry.h"

STDAPI DllRegisterServer() {
  const std::wstring progIdKey = kDoubleServerProgId;
  HRESULT result = SetClassesValue(progIdKey, nullptr, kDoubleServerDescription);
  if (SUCCEEDED(result)) result = SetClassesValue(progIdKey + L"\\CLSID", nullptr, kDoubleServerClsidText);
  if (SUCCEEDED(result)) result = SetClassesValue(ServerClassKey(L"ProgID"), nullptr, progIdKey);
  return SUCCEEDED(result) ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  HRESULT result = DeleteClassesTree(kDoubleServerProgId);
  const HRESULT classEntry = DeleteClassesTree(ServerClassKey(L"ProgID"));
  if (SUCCEEDED(result)) result = classEntry;
  DeleteClassesKeyIfEmpty(ServerClassKey());
  return SUCCEEDED(result) ? S_OK : SELFREG_E_CLASS;
}
