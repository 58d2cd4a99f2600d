#include "files/win_module.h"

#include "files/file_system.h"

namespace {
HMODULE codeModule = nullptr;
}

void SetCodeModuleHandle(HMODULE module) { codeModule = module; }

uint32_t GetCodeModulePath(char* buffer, uint32_t size) {
  if (size == 0) return 0;
  const DWORD length = GetModuleFileNameA(codeModule, buffer, size);
  // A path that filled the buffer may have been cut: no path is better.
  if (length == 0 || length >= size) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}
