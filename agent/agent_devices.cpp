#include "agent_devices.h"
#include "rs232_interface.h"
#include "serial_network_interface.h"
#include "system/device_layer.h"

namespace {

IDevice* CreateAgentDevice(uint32_t type, uint32_t index, IFileSystem* logFileSystem) {
  switch (type) {
    case DEVICE_RS232:
      return NewPlatformRS232Interface(logFileSystem);
    case DEVICE_USB_LINK:
    case DEVICE_COM_LINK:
      return new TSerialNetworkInterface(static_cast<uint16_t>(index));
    default:
      return nullptr;
  }
}

}  // namespace

void RegisterAgentDevices() { SetAgentDeviceFactory(CreateAgentDevice); }
