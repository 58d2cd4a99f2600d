#include <windows.h>

#include <string>

// A COM server file that only notes, beside itself, that the registration
// tool called it: "<file>.registered" or "<file>.unregistered".

namespace {

HMODULE self = nullptr;

HRESULT Note(const wchar_t* suffix) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return E_FAIL;
  const std::wstring note = std::wstring(path, length) + suffix;
  const HANDLE file =
      CreateFileW(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return E_FAIL;
  CloseHandle(file);
  return S_OK;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer() { return Note(L".registered"); }

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer() { return Note(L".unregistered"); }
}
