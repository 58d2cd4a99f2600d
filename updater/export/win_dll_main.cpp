#include "files/win_module.h"

// Every file system of the library is rooted at the folder of the DLL, not
// at that of the program that loaded it.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH) SetCodeModuleHandle(module);
  return TRUE;
}
