#include "export_call.h"

// Where there is one calling convention, the call itself is the whole story.
int CallCheckForUpdates(TCheckForUpdates checkForUpdates, const char* serialNumber, const char* model) {
  return checkForUpdates(serialNumber, model);
}
