#pragma once
#include <windows.h>

#include <exception>

// Shows what ended an operation unexpectedly in a message box over owner;
// the program goes on running.
void ShowUnexpectedError(HWND owner, const std::exception& error);
