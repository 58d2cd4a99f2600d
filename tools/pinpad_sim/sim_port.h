#pragma once
#include <string>
#include "faulty_line.h"
#include "rs232_interface.h"
#include "serial_environment.h"

// Opens the device the simulator plays the PIN pad on: "COMn" as the agent
// names its ports, or a device path where the operating system has them.
TResult OpenSimulatorPort(const std::string& name, IConnection** out);

// A device path such as a pseudo-terminal, with the line settings of a port.
TResult OpenDevicePath(const std::string& path, const TRS232Settings& settings, IConnection** out);

// The serial port device of the simulator: always the one named port,
// opened through the faulty line.
class TSimulatorPortDevice : public TRS232Interface {
 public:
  TSimulatorPortDevice(const std::string& name, TLineFaults& faults)
      : TRS232Interface(nullptr), name_(name), faults_(faults) {}
  TResult OpenPort(const TRS232Settings& settings, IConnection** out) override;

 private:
  std::string name_;
  TLineFaults& faults_;
};

// The platform's clock and idle step, with the simulator's port in place of
// the numbered serial ports.
class TSimulatorEnvironment : public TSystemSerialEnvironment {
 public:
  explicit TSimulatorEnvironment(TSimulatorPortDevice& port) : port_(port) {}
  IDevice* GetDevice(uint32_t type, uint32_t index) override;

 private:
  TSimulatorPortDevice& port_;
};
