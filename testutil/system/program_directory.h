#pragma once
#include <string>

// The directory of the running program file, ending in a backslash: the
// place of TavoTest's own files. Empty only if the system cannot say.
std::wstring ProgramDirectory();
