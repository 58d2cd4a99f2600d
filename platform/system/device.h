#pragma once
#include "system/result.h"

// Device types handed out by the device layer.
enum : uint32_t {
  DEVICE_KEYBOARD = 5,
  DEVICE_POWER_STATUS = 7,
  DEVICE_ETHERNET = 9,
  DEVICE_WIFI = 10,
  DEVICE_GPRS = 11,
  DEVICE_RS232 = 12,
  DEVICE_SOCKET = 13,
  DEVICE_USB_LINK = 15,
  DEVICE_COM_LINK = 16,
};

class IDevice {
 public:
  virtual TResult Open() = 0;
  virtual void Close() = 0;
  virtual ~IDevice() = default;
};
