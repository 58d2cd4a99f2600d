#pragma once
#include <cstdint>
#include "net/network.h"
#include "system/device.h"

class IFileSystem;

// Line settings of a serial port.
struct TRS232Settings {
  uint16_t port = 0;     // COM port number n
  uint8_t byteSize = 8;  // data bits per character
  int32_t parity = 'N';  // 'N' none, 'O' odd, anything else even
  int32_t stopBits = 1;  // 1 = one stop bit, any other value two
  int32_t baudRate = 115200;
};

// The device through which the agent reaches one serial port.
class IRS232Interface : public IDevice {
 public:
  // Opens the port exclusively with the given settings; the caller owns the
  // connection handed out and destroys it to close the port.
  virtual TResult OpenPort(const TRS232Settings& settings, IConnection** out) = 0;
};

// The platform's serial port device (defined per operating system).
IRS232Interface* NewPlatformRS232Interface(IFileSystem* logFileSystem);
