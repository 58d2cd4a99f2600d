#include <windows.h>

#include "pinpad_exchange.h"

namespace {

constexpr DWORD kQueueSize = 1024;
constexpr DWORD kReadChunk = 256;
constexpr char kStx = '\x02';
constexpr char kEtx = '\x03';

// Reads hand over at once whatever has arrived; a write may take 100 ms per
// byte plus one second before it counts as failed.
constexpr COMMTIMEOUTS kTimeouts = {MAXDWORD, 0, 0, 100, 1000};

// Closes the port however the exchange ends, so that a failure half-way
// never leaves it held.
class TPortHandle {
 public:
  explicit TPortHandle(HANDLE handle) : handle_(handle) {}
  TPortHandle(const TPortHandle&) = delete;
  TPortHandle& operator=(const TPortHandle&) = delete;
  ~TPortHandle() {
    if (IsOpen()) CloseHandle(handle_);
  }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// 9600 baud 8N1, binary, no flow control of any kind, DTR and RTS held off.
bool SetLine(HANDLE port) {
  DCB line = {};
  line.DCBlength = sizeof line;
  if (!GetCommState(port, &line)) return false;
  line.BaudRate = CBR_9600;
  line.ByteSize = 8;
  line.Parity = NOPARITY;
  line.StopBits = ONESTOPBIT;
  line.fBinary = 1;
  line.fParity = 0;
  line.fOutxCtsFlow = 0;
  line.fOutxDsrFlow = 0;
  line.fDtrControl = DTR_CONTROL_DISABLE;
  line.fDsrSensitivity = 0;
  line.fOutX = 0;
  line.fInX = 0;
  line.fRtsControl = RTS_CONTROL_DISABLE;
  line.fAbortOnError = 0;
  return SetCommState(port, &line) != 0;
}

bool SetUp(HANDLE port) {
  COMMTIMEOUTS timeouts = kTimeouts;
  return SetupComm(port, kQueueSize, kQueueSize) && SetLine(port) &&
         SetCommTimeouts(port, &timeouts);
}

bool WriteAll(HANDLE port, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

std::optional<std::string> ExchangePinpadCommand(const std::wstring& port,
                                                 const std::string& command) {
  // The device namespace form reaches ports above COM9 too.
  const std::wstring device = L"\\\\.\\" + port;
  TPortHandle handle(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  if (!handle.IsOpen() || !SetUp(handle.Get())) return std::nullopt;
  if (!WriteAll(handle.Get(), kStx + command + kEtx + kEtx)) return std::nullopt;
  Sleep(kPinpadAnswerWaitMs);
  std::string reply;
  char chunk[kReadChunk];
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(handle.Get(), chunk, kReadChunk, &count, nullptr)) return std::nullopt;
    if (count == 0) return reply;
    reply.append(chunk, count);
  }
}
