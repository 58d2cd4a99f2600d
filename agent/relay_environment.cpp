#include "relay_environment.h"
#include "system/device_layer.h"
#include "system/system.h"

TSystemRelayEnvironment::TSystemRelayEnvironment()
    : trace_(GetSystem()->GetAppFileSystem(), &workingFolder_) {}

TAgentSettings TSystemRelayEnvironment::ReadSettings() {
  const TAgentSettings settings = ReadAgentSettings();
  trace_.SetLevel(settings.traceLevel);
  return settings;
}

IDevice* TSystemRelayEnvironment::GetDevice(uint32_t type, uint32_t index) {
  return GetSystem()->GetDeviceLayer()->GetDevice(type, index);
}

ITimer* TSystemRelayEnvironment::CreateTimer(uint32_t milliseconds) {
  return GetSystem()->CreateTimer(milliseconds);
}

void TSystemRelayEnvironment::Delay(uint32_t milliseconds) {
  GetSystem()->Delay(milliseconds);
}

void TSystemRelayEnvironment::WaitForLink(IRelayLink& link, uint32_t milliseconds) {
  wait_.Begin(milliseconds);
  link.Watch(wait_);
  wait_.Wait();
}
