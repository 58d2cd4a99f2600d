#include "pinpad_page.h"

namespace {

std::optional<std::string> DecodedReply(IPinpadExchange& pinpad, const std::wstring& port,
                                        const std::string& command) {
  const std::optional<std::string> raw = pinpad.Exchange(port, command);
  if (!raw) return std::nullopt;
  return DecodeHexReply(*raw);
}

std::wstring ProbeLine(IPinpadExchange& pinpad, const std::wstring& port) {
  const std::wstring serialNumber = QuerySerialNumber(pinpad, port);
  return port + L"  -->  " + (serialNumber.empty() ? L"Устройство не определено" : serialNumber);
}

}  // namespace

std::wstring QuerySerialNumber(IPinpadExchange& pinpad, const std::wstring& port) {
  const std::optional<std::string> reply = DecodedReply(pinpad, port, kStatusCommand);
  return reply ? ExtractSerialNumber(*reply) : std::wstring();
}

void ShowPortList(ILogLines& log, const std::vector<std::wstring>& ports) {
  log.Clear();
  log.Add(L"Список портов в системе:");
  for (const std::wstring& port : ports) log.Add(port);
}

void ProbePort(ILogLines& log, IPinpadExchange& pinpad, const std::wstring& port) {
  log.Clear();
  log.Add(ProbeLine(pinpad, port));
}

void ProbeAllPorts(ILogLines& log, IPinpadExchange& pinpad, const std::vector<std::wstring>& ports) {
  ShowPortList(log, ports);
  log.Add(L"");
  for (const std::wstring& port : ports) log.Add(ProbeLine(pinpad, port));
}

void ShowKeyStatus(ILogLines& log, IPinpadExchange& pinpad, const std::wstring& port) {
  log.Clear();
  for (const std::wstring& line : KeyStatusLines(DecodedReply(pinpad, port, kStatusCommand))) log.Add(line);
}

void DeleteKey(ILogLines& log, IPinpadExchange& pinpad, const std::wstring& port, PinpadKey key) {
  log.Clear();
  log.Add(KeyDeletionText(key, DecodedReply(pinpad, port, DeleteKeyCommand(key))));
}
