#pragma once

// The library's one entry point, as the payment core calls it: plain C name,
// cdecl, the caller removes the arguments.
#ifdef _WIN32
#define UPDATER_EXPORT __declspec(dllexport)
#define UPDATER_CALL __cdecl
#else
#define UPDATER_EXPORT __attribute__((visibility("default")))
#define UPDATER_CALL
#endif

extern "C" UPDATER_EXPORT int UPDATER_CALL CheckForUpdates(const char* serialNumber, const char* model);
