#pragma once
#include <string>

#ifdef _WIN32
#define TAVO_CDECL __cdecl
#else
#define TAVO_CDECL
#endif

// The updater's one export, as the payment core calls it.
using TCheckForUpdates = int(TAVO_CDECL*)(const char* serialNumber, const char* model);

// Loads `fileName` from `folder` by its full path and finds CheckForUpdates
// in it. Null, with the reason in error, when either cannot be found. The
// library stays loaded until the process ends, as it does in the payment core.
TCheckForUpdates LoadCheckForUpdates(const std::string& folder, const std::string& fileName,
                                     std::string* error);
