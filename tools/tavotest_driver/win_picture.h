#pragma once
#include <windows.h>

#include <string>

// Saves what the screen shows of window, frame included, as a 24-bit BMP.
void SaveWindowPicture(HWND window, const std::wstring& path);
