#pragma once
#include <cstdint>
#include <string>

#include "log/logger_to_file.h"
#include "net/network.h"

// A write that the port's device takes no byte of for this long fails (with
// the system's time-out error behind RESULT_RS232_IO_FAILED): the far end
// has stopped reading, or the device hangs. The largest frame takes under
// 50 ms at 115200 baud, so this is generous; it bounds how long a stalled
// line can hold the relay loop, and with it a stop request.
constexpr uint32_t kRS232WriteBudgetMs = 2000;
// After such a failure the line counts as stalled until it takes bytes
// again, and a write meanwhile waits only this long for the first byte: a
// session that writes many frames on a dead line loses each at once instead
// of waiting out the budget for every one.
constexpr uint32_t kRS232StalledWriteWaitMs = 10;

// An open serial port as a byte stream. The port is always "connected": it
// has no peer to lose, so failures show only as -1 answers and in the last
// result. Every connection logs its traffic to a file of its own.
class TRS232Connection : public IConnection, public TLoggerToFile {
 public:
  TRS232Connection(const char* logName, IFileSystem* logFileSystem);
  ~TRS232Connection() override;

  int32_t Send(const void* data, uint32_t length) override;
  int32_t Receive(void* buffer, uint32_t size) override;
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return CONNECTION_CONNECTED; }
  TResult GetLastResult() override { return lastResult_; }

  // Hands all bytes to the port's driver: the count written, or -1 with the
  // last result set, also when the driver stops taking bytes (see
  // kRS232WriteBudgetMs).
  virtual int32_t WriteRaw(const void* data, uint32_t length) = 0;
  // What has arrived, up to size bytes, waiting about 10 ms when nothing
  // has: the count read (0 for none), or -1 with the last result set.
  virtual int32_t ReadRaw(void* buffer, uint32_t size) = 0;

 protected:
  // Records a failure: code, followed by the operating system's error.
  void Fail(int32_t code, int32_t systemError);

 private:
  TResult lastResult_;
};

// code followed by RESULT_RS232_SYSTEM_ERROR + systemError.
TResult RS232Failure(int32_t code, int32_t systemError);

// The traffic log of a port: "CommLog3.txt" for COM3.
std::string RS232LogName(uint16_t port);
