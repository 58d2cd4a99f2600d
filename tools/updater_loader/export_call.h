#pragma once
#include "updater_library.h"

// Calls the export as the payment core does. On 32-bit x86 it also checks
// that the export honours the cdecl contract (it leaves its arguments on the
// stack for the caller); one that does not ends the process with exit code 3
// and says so, since in the payment core it would corrupt the caller's stack.
int CallCheckForUpdates(TCheckForUpdates checkForUpdates, const char* serialNumber, const char* model);
