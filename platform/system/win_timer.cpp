#include <winsock2.h>
#include <windows.h>
#include "system/timer.h"

uint32_t ReadPlatformTicks() {
  // Polling loops read the clock constantly; giving up the rest of the time
  // slice keeps them from starving other threads.
  Sleep(0);
  return GetTickCount();
}
