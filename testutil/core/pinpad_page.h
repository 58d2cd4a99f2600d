#pragma once
#include <optional>
#include <string>
#include <vector>

#include "log_lines.h"
#include "pinpad_reply.h"

// The serial-port half of the settings page and the key buttons: what they
// show in the log.

// One probe exchange on a serial port ("COM3"). The window side sends the
// command framed (PinpadRequestFrame) at the port's fixed settings, waits
// 500 ms and returns the raw bytes that arrived; nothing when the port cannot
// be opened or a write or read fails.
class IPinpadExchange {
 public:
  virtual ~IPinpadExchange() = default;
  virtual std::optional<std::string> Exchange(const std::wstring& port, const std::string& command) = 0;
};

// The serial number the PIN pad on the port reports; empty when none answers.
std::wstring QuerySerialNumber(IPinpadExchange& pinpad, const std::wstring& port);

// btn5 "Обновить" (also at start and on the switch to the settings page),
// once the window side has put the ports into cbb1 and selected the first.
void ShowPortList(ILogLines& log, const std::vector<std::wstring>& ports);
// btn4 "Прозвонить": the port shown in cbb1.
void ProbePort(ILogLines& log, IPinpadExchange& pinpad, const std::wstring& port);
// btn3 "Прозвонить все": the port list as btn5 shows it (the window side
// refreshes cbb1 with the same ports), then every port probed.
void ProbeAllPorts(ILogLines& log, IPinpadExchange& pinpad, const std::vector<std::wstring>& ports);
// btn6 "Состояние" and btn8 "Удалить", on the port shown in cbb1. The window
// side releases the COM server before and creates it again after, so that
// the payment core does not hold the port.
void ShowKeyStatus(ILogLines& log, IPinpadExchange& pinpad, const std::wstring& port);
void DeleteKey(ILogLines& log, IPinpadExchange& pinpad, const std::wstring& port, PinpadKey key);
