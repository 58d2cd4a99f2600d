#include <cstdio>
#include <cstdlib>

#include "export_call.h"
#include "stack_check.h"

int CallCheckForUpdates(TCheckForUpdates checkForUpdates, const char* serialNumber, const char* model) {
  const uint32_t words[] = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(serialNumber)),
                            static_cast<uint32_t>(reinterpret_cast<uintptr_t>(model))};
  int32_t bytesPopped = 0;
  const uint32_t result =
      TavoCallCountingPops(reinterpret_cast<const void*>(checkForUpdates), words, 2, &bytesPopped);
  if (bytesPopped != 0) {
    std::fprintf(stderr,
                 "updater-loader: CheckForUpdates took %d bytes of its arguments off the stack: "
                 "it is not cdecl\n",
                 static_cast<int>(bytesPopped));
    std::fflush(stderr);
    std::_Exit(3);
  }
  return static_cast<int>(result);
}
