#include "build_flavour.h"
#if !TAVO_AGENT_BUILD
#include "system/idle_handler.h"

void IIdleHandler::Run() {
  if (busy_) return;
  busy_ = true;
  OnIdle();
  if (next) next->Run();
  busy_ = false;
}
#endif
