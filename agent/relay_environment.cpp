#include "relay_environment.h"
#include "agent_config.h"
#include "system/device_layer.h"
#include "system/system.h"

bool TSystemRelayEnvironment::IsAgentEnabled() {
  return ::IsAgentEnabled();
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
