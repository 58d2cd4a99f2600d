#include "environment.h"
#include "http/system_tracer.h"
#include "updater_context.h"
#include "updater_system.h"

TUpdaterContext ProcessUpdaterContext() {
  static TPlatformUpdaterSystem system;
  return TUpdaterContext{&system, &GetSystemTracer(), GetTerminalEnvironment()};
}
