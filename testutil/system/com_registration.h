#pragma once
#include <windows.h>

#include <string>

// Starts the system's registration tool (regsvr32) on one COM server file,
// shown normally and owned by the owner window, and returns without waiting:
// the tool reports the outcome itself. True when the tool was started.
bool StartComServerRegistration(HWND owner, const std::wstring& path);
// The same with the tool's unregistration switch.
bool StartComServerUnregistration(HWND owner, const std::wstring& path);
