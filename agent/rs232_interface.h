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

// Result codes of a serial port. A failure carries the operating system's
// error number behind it as RESULT_RS232_SYSTEM_ERROR + number.
enum : int32_t {
  RESULT_RS232_OPEN_FAILED = 20001,
  RESULT_RS232_IO_FAILED = 20003,
  RESULT_RS232_STATUS_FAILED = 20004,
  RESULT_RS232_SYSTEM_ERROR = 21000,
};

// What the serial port devices of every operating system share: there is
// nothing to open or close on the device itself, and the ports it opens log
// their traffic into the given log file system (none: no logs).
class TRS232Interface : public IRS232Interface {
 public:
  explicit TRS232Interface(IFileSystem* logFileSystem) : logFileSystem_(logFileSystem) {}
  TResult Open() override { return TResult(); }
  void Close() override {}

 protected:
  IFileSystem* LogFileSystem() const { return logFileSystem_; }

 private:
  IFileSystem* logFileSystem_;  // not owned
};
