#include "sim_port.h"
#include <cctype>
#include <cstdlib>
#include <memory>

namespace {

// The number n of a name "COMn" (any letter case), or 0.
uint16_t ComPortNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 8) return 0;
  for (size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  }
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
  }
  const long number = std::strtol(name.c_str() + 3, nullptr, 10);
  return number > 0 && number <= 0xFFFF ? static_cast<uint16_t>(number) : 0;
}

}  // namespace

TResult OpenSimulatorPort(const std::string& name, IConnection** out) {
  TRS232Settings settings;
  settings.port = ComPortNumber(name);
  if (settings.port == 0) return OpenDevicePath(name, settings, out);
  std::unique_ptr<IRS232Interface> ports(NewPlatformRS232Interface(nullptr));
  return ports->OpenPort(settings, out);
}

TResult TSimulatorPortDevice::OpenPort(const TRS232Settings&, IConnection** out) {
  IConnection* port = nullptr;
  const TResult result = OpenSimulatorPort(name_, &port);
  *out = port ? new TFaultyLine(port, faults_) : nullptr;
  return result;
}

IDevice* TSimulatorEnvironment::GetDevice(uint32_t type, uint32_t index) {
  if (type == DEVICE_RS232) return &port_;
  return TSystemSerialEnvironment::GetDevice(type, index);
}
