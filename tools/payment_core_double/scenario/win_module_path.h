#pragma once
#include <string>

// The full path of the DLL (or program) whose image holds `address`.
std::wstring ModulePathAt(const void* address);
