#include "serial_environment.h"
#include "system/device_layer.h"
#include "system/system.h"

IDevice* TSystemSerialEnvironment::GetDevice(uint32_t type, uint32_t index) {
  return GetSystem()->GetDeviceLayer()->GetDevice(type, index);
}

ITimer* TSystemSerialEnvironment::CreateTimer(uint32_t milliseconds) {
  return GetSystem()->CreateTimer(milliseconds);
}

void TSystemSerialEnvironment::Idle() { GetSystem()->Idle(); }
