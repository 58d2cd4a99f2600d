#include "sim_port.h"

// Windows reaches serial ports by number only (\\.\COMn, which "COMn" covers),
// so a name that is not COMn names no port.
TResult OpenDevicePath(const std::string&, const TRS232Settings&, IConnection** out) {
  *out = nullptr;
  return TResult(RESULT_RS232_OPEN_FAILED);
}
