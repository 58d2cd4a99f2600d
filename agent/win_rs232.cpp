#include <winsock2.h>
#include <windows.h>

#include <cstdio>

#include "rs232_connection.h"
#include "rs232_interface.h"

namespace {

// Driver queues for each direction, several of the protocol's largest
// messages deep.
constexpr DWORD kQueueSize = 8192;

// Reads hand over what has arrived at once and wait at most 10 ms for the
// first byte, so that the relay loop's turn stays short. A write ends when
// the driver has taken every byte or when its time-out has passed: the write
// budget, or the short wait of a line that has stalled. A write time-out of
// 0 would mean none at all, and a stalled driver would hold WriteFile (and
// the agent) for ever.
COMMTIMEOUTS Timeouts(bool stalled) {
  return {MAXDWORD, 0, 10, 0, stalled ? kRS232StalledWriteWaitMs : kRS232WriteBudgetMs};
}

int32_t LastError() { return static_cast<int32_t>(GetLastError()); }

// A binary line with parity checking on, no flow control, DTR and RTS
// raised, and no substitution or aborts on errors; the other fields keep
// what the driver had. Answers false when the driver refuses the state.
bool SetLineState(HANDLE port, const TRS232Settings& settings) {
  DCB line = {};
  line.DCBlength = sizeof line;
  if (!GetCommState(port, &line)) return false;
  line.BaudRate = static_cast<DWORD>(settings.baudRate);
  line.ByteSize = settings.byteSize;
  line.Parity = settings.parity == 'N' ? NOPARITY : settings.parity == 'O' ? ODDPARITY : EVENPARITY;
  line.StopBits = settings.stopBits == 1 ? ONESTOPBIT : TWOSTOPBITS;
  line.fBinary = 1;
  line.fParity = 1;
  line.fOutxCtsFlow = 0;
  line.fOutxDsrFlow = 0;
  line.fDtrControl = DTR_CONTROL_ENABLE;
  line.fDsrSensitivity = 0;
  line.fTXContinueOnXoff = 0;
  line.fOutX = 0;
  line.fInX = 0;
  line.fErrorChar = 0;
  line.fNull = 0;
  line.fRtsControl = RTS_CONTROL_ENABLE;
  line.fAbortOnError = 0;
  line.EofChar = 0;
  line.EvtChar = 0;
  return SetCommState(port, &line) != 0;
}

class TWinRS232Connection : public TRS232Connection {
 public:
  TWinRS232Connection(const char* logName, IFileSystem* logFileSystem, HANDLE port)
      : TRS232Connection(logName, logFileSystem), port_(port) {}
  ~TWinRS232Connection() override {
    // What a stalled driver still holds would only delay the close.
    if (stalled_) PurgeComm(port_, PURGE_TXABORT | PURGE_TXCLEAR);
    CloseHandle(port_);
  }

  int32_t WriteRaw(const void* data, uint32_t length) override {
    const char* bytes = static_cast<const char*>(data);
    uint32_t written = 0;
    while (written < length) {
      DWORD count = 0;
      if (!WriteFile(port_, bytes + written, length - written, &count, nullptr)) {
        Fail(RESULT_RS232_IO_FAILED, LastError());
        return -1;
      }
      // A write that timed out answers success with what the driver took:
      // some bytes is progress (a long write goes on), none is a stall.
      if (count == 0) {
        SetStalled(true);
        Fail(RESULT_RS232_IO_FAILED, ERROR_COUNTER_TIMEOUT);
        return -1;
      }
      written += count;
      SetStalled(false);
    }
    return static_cast<int32_t>(written);
  }

  int32_t ReadRaw(void* buffer, uint32_t size) override {
    DWORD count = 0;
    if (!ReadFile(port_, buffer, size, &count, nullptr)) {
      Fail(RESULT_RS232_IO_FAILED, LastError());
      return -1;
    }
    // Line errors (parity, framing, overrun) are cleared and the bytes
    // handed on: the protocol's checks above decide what is damaged.
    DWORD errors = 0;
    if (!ClearCommError(port_, &errors, nullptr)) {
      Fail(RESULT_RS232_STATUS_FAILED, LastError());
      return -1;
    }
    return static_cast<int32_t>(count);
  }

 private:
  void SetStalled(bool stalled) {
    if (stalled == stalled_) return;
    stalled_ = stalled;
    COMMTIMEOUTS timeouts = Timeouts(stalled);
    SetCommTimeouts(port_, &timeouts);
  }

  HANDLE port_;
  // The last write timed out and the driver has taken nothing since.
  bool stalled_ = false;
};

class TWinRS232Interface : public TRS232Interface {
 public:
  using TRS232Interface::TRS232Interface;

  TResult OpenPort(const TRS232Settings& settings, IConnection** out) override {
    *out = nullptr;
    // The device namespace form reaches ports above COM9 too.
    char device[32];
    std::snprintf(device, sizeof device, "\\\\.\\COM%d", settings.port);
    HANDLE port = CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (port == INVALID_HANDLE_VALUE) return RS232Failure(RESULT_RS232_OPEN_FAILED, LastError());
    SetupComm(port, kQueueSize, kQueueSize);
    // A refused line state leaves the port with its previous one, which the
    // link then uses. The timeouts are set regardless: without them every
    // read would wait for its full count and a write for a line that does
    // not move, and either would stall the agent.
    SetLineState(port, settings);
    COMMTIMEOUTS timeouts = Timeouts(false);
    if (SetCommTimeouts(port, &timeouts)) {
      ClearCommError(port, nullptr, nullptr);
      PurgeComm(port, PURGE_RXCLEAR);
    }
    *out = new TWinRS232Connection(RS232LogName(settings.port).c_str(), LogFileSystem(), port);
    return TResult();
  }
};

}  // namespace

IRS232Interface* NewPlatformRS232Interface(IFileSystem* logFileSystem) {
  return new TWinRS232Interface(logFileSystem);
}
