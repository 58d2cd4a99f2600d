#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "rs232_connection.h"
#include "rs232_interface.h"

namespace {

// Driver queues for each direction, several of the protocol's largest
// messages deep.
constexpr DWORD kQueueSize = 8192;

// A read ends once it has all the bytes it asked for, or once the line has
// been quiet for this long after the bytes it has; before its first byte it
// waits as long as it takes. The one read that is left open asks for the
// bytes a waiting loop needs, so that a frame coming in pieces wakes the
// loop once, at its end; but the count comes from the line (a frame's
// length byte), and when the line never brings that many (a byte lost, the
// length damaged, a PIN pad restarted in the middle of a frame) the read
// still ends with what came, instead of holding back every byte after it.
// Far longer than the bytes of a frame are apart on a line that is sending
// it, so a whole frame comes in one read.
constexpr DWORD kReadGapMs = 20;

// The port is read otherwise only for bytes the driver already holds, so
// such reads end at once. (Windows and Wine agree on these read time-outs;
// they differ on those that would make a read end at its first byte.) A
// write ends when the driver has taken every byte or when its time-out has
// passed: the write budget, or the short wait of a line that has stalled. A
// write time-out of 0 would mean none at all, and a stalled driver would hold
// the write (and the agent) for ever.
COMMTIMEOUTS Timeouts(bool stalled) {
  return {kReadGapMs, 0, 0, 0, stalled ? kRS232StalledWriteWaitMs : kRS232WriteBudgetMs};
}

// How a finished write that ran out of time is reported, depending on the
// system: as success with a short count, or as a failure with one of these.
bool IsTimeOut(DWORD error) {
  return error == ERROR_SEM_TIMEOUT || error == WAIT_TIMEOUT || error == ERROR_TIMEOUT ||
         error == ERROR_COUNTER_TIMEOUT;
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

// One overlapped operation and its event.
struct TPortOperation {
  TPortOperation() { overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  ~TPortOperation() {
    if (overlapped.hEvent) CloseHandle(overlapped.hEvent);
  }
  TPortOperation(const TPortOperation&) = delete;
  TPortOperation& operator=(const TPortOperation&) = delete;

  bool Done() const { return HasOverlappedIoCompleted(&overlapped) != 0; }

  OVERLAPPED overlapped = {};
  // Started and not yet collected.
  bool pending = false;
};

// The port is opened for overlapped I/O so that a read can stand open while
// the loop waits on its event. Writes are overlapped too, but waited for at
// once: they keep their budget.
class TWinRS232Connection : public TRS232Connection {
 public:
  TWinRS232Connection(const char* logName, IFileSystem* logFileSystem, const TRS232Settings& settings,
                      HANDLE port)
      : TRS232Connection(logName, logFileSystem, settings), port_(port) {}
  ~TWinRS232Connection() override {
    // What a stalled driver still holds would only delay the close.
    if (stalled_) PurgeComm(port_, PURGE_TXABORT | PURGE_TXCLEAR);
    // The driver must be done with the buffer before it goes.
    if (read_.pending) {
      CancelIo(port_);
      DWORD ignored = 0;
      GetOverlappedResult(port_, &read_.overlapped, &ignored, TRUE);
    }
    CloseHandle(port_);
  }

  int32_t WriteRaw(const void* data, uint32_t length) override {
    if (DeviceFailed()) return -1;
    const char* bytes = static_cast<const char*>(data);
    uint32_t written = 0;
    while (written < length) {
      DWORD count = 0;
      if (!WriteFile(port_, bytes + written, length - written, nullptr, &write_.overlapped) &&
          GetLastError() != ERROR_IO_PENDING) {
        FailCall(GetLastError());
        return -1;
      }
      if (!GetOverlappedResult(port_, &write_.overlapped, &count, TRUE) && !IsTimeOut(GetLastError())) {
        FailCall(GetLastError());
        return -1;
      }
      // A write that timed out ends with what the driver took: some bytes
      // is progress (a long write goes on), none is a stall.
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
    if (DeviceFailed()) return -1;
    if (chunkTaken_ == chunkLength_) {
      if (!read_.pending) {
        DWORD waiting = 0;
        if (!BytesWaiting(&waiting)) return -1;
        if (waiting == 0) return 0;
        if (!StartRead(waiting)) return -1;
      }
      if (!read_.Done()) return 0;
      if (!CollectRead()) return -1;
    }
    const uint32_t count = std::min(size, chunkLength_ - chunkTaken_);
    std::memcpy(buffer, chunk_ + chunkTaken_, count);
    chunkTaken_ += count;
    return static_cast<int32_t>(count);
  }

 protected:
  void WatchDevice(IIoWait& wait, size_t count) override {
    // A failed device has nothing more to bring; watching it would only end
    // waits early.
    if (DeviceFailed()) return;
    if (chunkTaken_ == chunkLength_ && !read_.pending) {
      DWORD waiting = 0;
      if (!BytesWaiting(&waiting)) return;
      if (waiting >= count) {
        wait.Within(0);
        return;
      }
      if (!StartRead(static_cast<DWORD>(count))) return;
    }
    if (chunkTaken_ < chunkLength_ || read_.Done()) {
      wait.Within(0);
    } else {
      wait.WatchObject(reinterpret_cast<TWaitObject>(read_.overlapped.hEvent));
    }
  }

 private:
  // What the driver holds for reading. Line errors (parity, framing,
  // overrun) are cleared on the way and the bytes handed on: the protocol's
  // checks above decide what is damaged.
  bool BytesWaiting(DWORD* waiting) {
    DWORD errors = 0;
    COMSTAT status = {};
    if (!ClearCommError(port_, &errors, &status)) {
      FailDevice(RESULT_RS232_STATUS_FAILED, LastError());
      return false;
    }
    *waiting = status.cbInQue;
    return true;
  }

  // Starts a read that ends once it has count bytes (at most a chunk).
  bool StartRead(DWORD count) {
    chunkTaken_ = chunkLength_ = 0;
    const DWORD asked = std::min<DWORD>(std::max<DWORD>(count, 1), sizeof chunk_);
    if (!ReadFile(port_, chunk_, asked, nullptr, &read_.overlapped) && GetLastError() != ERROR_IO_PENDING) {
      FailCall(GetLastError());
      return false;
    }
    read_.pending = true;
    return true;
  }

  // Takes the bytes of a finished read.
  bool CollectRead() {
    read_.pending = false;
    DWORD count = 0;
    if (!GetOverlappedResult(port_, &read_.overlapped, &count, FALSE)) {
      FailCall(GetLastError());
      return false;
    }
    chunkTaken_ = 0;
    chunkLength_ = count;
    return true;
  }

  // A read or a write failed with error: the device has failed and the port
  // is to be opened anew, unless the failure was an abort that clearing the
  // port's errors undoes. This program cancels none of the port's I/O while
  // it is open, so an abort is the driver's: one that aborts I/O on line
  // errors (it refused the line settings and kept its own) takes I/O again
  // once they are cleared; a device that went away fails that call too.
  void FailCall(DWORD error) {
    const int32_t code = static_cast<int32_t>(error);
    if (error == ERROR_OPERATION_ABORTED && ClearCommError(port_, nullptr, nullptr)) {
      Fail(RESULT_RS232_IO_FAILED, code);
    } else {
      FailDevice(RESULT_RS232_IO_FAILED, code);
    }
  }

  bool DeviceFailed() { return GetState() == CONNECTION_CLOSED; }

  void SetStalled(bool stalled) {
    if (stalled == stalled_) return;
    stalled_ = stalled;
    COMMTIMEOUTS timeouts = Timeouts(stalled);
    SetCommTimeouts(port_, &timeouts);
  }

  HANDLE port_;
  // The last write timed out and the driver has taken nothing since.
  bool stalled_ = false;
  TPortOperation read_;
  TPortOperation write_;
  // The bytes of the last finished read, and how many are handed out.
  uint8_t chunk_[kReadChunk];
  uint32_t chunkLength_ = 0;
  uint32_t chunkTaken_ = 0;
};

class TWinRS232Interface : public TRS232Interface {
 public:
  using TRS232Interface::TRS232Interface;

  TResult OpenPort(const TRS232Settings& settings, IConnection** out) override {
    *out = nullptr;
    // The device namespace form reaches ports above COM9 too.
    char device[32];
    std::snprintf(device, sizeof device, "\\\\.\\COM%d", settings.port);
    HANDLE port = CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
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
    *out = new TWinRS232Connection(RS232LogName(settings.port).c_str(), LogFileSystem(), settings, port);
    return TResult();
  }
};

}  // namespace

IRS232Interface* NewPlatformRS232Interface(IFileSystem* logFileSystem) {
  return new TWinRS232Interface(logFileSystem);
}
