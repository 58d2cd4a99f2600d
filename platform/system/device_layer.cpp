#include "system/device_layer.h"
#include "net/socket_interface.h"
#include "system/keyboard.h"
#include "system/power_status.h"

namespace {

uint32_t DeviceKey(uint32_t type, uint32_t index) { return type * 0x10000u + index; }

#if TAVO_AGENT_BUILD
TAgentDeviceFactory agentDeviceFactory = nullptr;

IDevice* CreateAgentDevice(uint32_t type, uint32_t index, IFileSystem* logFileSystem) {
  switch (type) {
    case DEVICE_POWER_STATUS:
      return new TPCPowerStatus();
    case DEVICE_WIFI:
      return NewPlatformEthernetInterface(logFileSystem);
    case DEVICE_RS232:
    case DEVICE_USB_LINK:
    case DEVICE_COM_LINK:
      return agentDeviceFactory ? agentDeviceFactory(type, index, logFileSystem) : nullptr;
    default:
      return nullptr;
  }
}
#else
IDevice* CreateAgentDevice(uint32_t, uint32_t, IFileSystem*) { return nullptr; }
#endif

}  // namespace

#if TAVO_AGENT_BUILD
void SetAgentDeviceFactory(TAgentDeviceFactory factory) { agentDeviceFactory = factory; }
#endif

TDeviceLayer::~TDeviceLayer() {
  // Ascending key order, one device at a time: a device that looks up
  // another while it goes finds only those not yet destroyed.
  while (!cache_.empty()) cache_.extract(cache_.begin());
}

IDevice* TDeviceLayer::GetDevice(uint32_t type, uint32_t index) {
  const uint32_t key = DeviceKey(type, index);
  auto found = cache_.find(key);
  if (found != cache_.end() && found->second) return found->second.get();
  // A device that could not be made is not remembered: the next call tries again.
  IDevice* device = CreateDevice(type, index);
  if (device) cache_[key].reset(device);
  return device;
}

TPCDeviceLayer::TPCDeviceLayer(uint32_t screenSelector, IFileSystem* logFileSystem)
    : screenSelector_(screenSelector), logFileSystem_(logFileSystem) {}

TResult TPCDeviceLayer::QueryDevice(uint32_t, int32_t* out) {
  if (out) *out = 0;
  lastResult_ = TResult(RESULT_NOT_SUPPORTED);
  return lastResult_;
}

IDevice* TPCDeviceLayer::CreateDevice(uint32_t type, uint32_t index) {
  switch (type) {
    case DEVICE_KEYBOARD:
      return NewPlatformKeyboard();
    case DEVICE_ETHERNET:
    case DEVICE_GPRS:
    case DEVICE_SOCKET:
      return NewPlatformEthernetInterface(logFileSystem_);
    default:
      return CreateAgentDevice(type, index, logFileSystem_);
  }
}
