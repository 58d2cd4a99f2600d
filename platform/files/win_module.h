#pragma once
#include <winsock2.h>
#include <windows.h>
#undef GetFreeSpace
#undef GetModuleFileName

// The module whose directory roots the file systems: null (the default) is
// the executable. A DLL stores its own handle when it is loaded, so that its
// files live beside the DLL rather than beside the program that loaded it.
void SetCodeModuleHandle(HMODULE module);
