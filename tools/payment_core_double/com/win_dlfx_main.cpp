// dlfx.dll: serves the double's automation object and registers its class
// (InprocServer32, apartment-threaded). The ProgID comes from dlfxcom.dll.
#include <windows.h>
#include <olectl.h>

#include <new>

#include "win_com_identity.h"
#include "win_module_path.h"
#include "win_registry.h"
#include "win_server_factory.h"
#include "win_server_lifetime.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, kDoubleServerClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) TDoubleServerFactory;
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT result = factory->QueryInterface(iid, object);
  factory->Release();
  return result;
}

STDAPI DllCanUnloadNow() { return ServerInUse() ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() {
  const std::wstring path = ModulePathAt(reinterpret_cast<const void*>(&DllRegisterServer));
  HRESULT result = SetClassesValue(ServerClassKey(), nullptr, kDoubleServerDescription);
  if (SUCCEEDED(result)) result = SetClassesValue(ServerClassKey(L"InprocServer32"), nullptr, path);
  if (SUCCEEDED(result)) {
    result = SetClassesValue(ServerClassKey(L"InprocServer32"), L"ThreadingModel", L"Apartment");
  }
  return SUCCEEDED(result) ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  const HRESULT result = DeleteClassesTree(ServerClassKey(L"InprocServer32"));
  DeleteClassesKeyIfEmpty(ServerClassKey());
  return SUCCEEDED(result) ? S_OK : SELFREG_E_CLASS;
}
