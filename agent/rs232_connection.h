#pragma once
#include <cstdint>
#include <string>

#include "log/logger_to_file.h"
#include "net/network.h"
#include "rs232_interface.h"
#include "system/io_wait.h"

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

// An open serial port as a byte stream. The port has no peer to lose: it is
// "connected" until its device fails, and other failures show only as -1
// answers and in the last result. Every connection logs its traffic to a file of its own. Reads
// never wait: a waiting loop watches the port (Watch) and reads when it
// wakes.
class TRS232Connection : public IConnection, public TLoggerToFile, public IWaitable {
 public:
  // The settings give the line's pace, which tells how long bytes take.
  TRS232Connection(const char* logName, IFileSystem* logFileSystem, const TRS232Settings& settings);
  ~TRS232Connection() override;

  int32_t Send(const void* data, uint32_t length) override;
  // What has arrived, up to size bytes. The port is read a chunk at a time
  // and handed out as asked, so that reading it byte by byte costs one
  // system call per chunk, not per byte.
  int32_t Receive(void* buffer, uint32_t size) override;
  uint32_t GetPeerAddress() override { return 0; }
  // Closed once the device itself has failed (hung up, unplugged): the port
  // is of no more use and is to be closed and opened anew.
  int32_t GetState() override { return deviceFailed_ ? CONNECTION_CLOSED : CONNECTION_CONNECTED; }
  TResult GetLastResult() override { return lastResult_; }

  // Hands all bytes to the port's driver: the count written, or -1 with the
  // last result set, also when the driver stops taking bytes (see
  // kRS232WriteBudgetMs).
  virtual int32_t WriteRaw(const void* data, uint32_t length) = 0;
  // What has arrived, up to size bytes, without waiting: the count read (0
  // for none), or -1 with the last result set.
  virtual int32_t ReadRaw(void* buffer, uint32_t size) = 0;

  // Wakes the wait when bytes arrive (at once when some are read already);
  // writes are not watched, they wait for the device by themselves.
  void Watch(IIoWait& wait, bool readable, bool writable) override;
  // Wakes the wait once count bytes can be read: a reader that needs the
  // rest of a frame sleeps through the pieces it comes in.
  void WatchForBytes(IIoWait& wait, size_t count) override;

  // Bytes read from the device at a time.
  static constexpr uint32_t kReadChunk = 512;

 protected:
  // Records a failure: code, followed by the operating system's error.
  void Fail(int32_t code, int32_t systemError);
  // Records a failure that leaves the device unusable (GetState answers
  // closed from then on).
  void FailDevice(int32_t code, int32_t systemError) {
    Fail(code, systemError);
    deviceFailed_ = true;
  }
  // Names on the wait what wakes it once the device has count bytes to
  // read (count is at least 1).
  virtual void WatchDevice(IIoWait& wait, size_t count) = 0;
  // For a reader that needs count bytes of a device that holds waiting: the
  // wait ends at once when they are there, or after the time the line takes
  // to bring the rest when that is more than a couple of milliseconds, so
  // that the reader sleeps through the pieces the device hands over
  // meanwhile. True when neither: the device is to be watched for its next
  // bytes.
  bool WaitForLineTime(IIoWait& wait, size_t count, size_t waiting);
  // How long the line takes to carry that many bytes, in whole milliseconds
  // (rounded down).
  uint32_t LineTimeMs(size_t bytes) const;

 private:
  TResult lastResult_;
  bool deviceFailed_ = false;
  uint32_t bitsPerSecond_;
  uint32_t bitsPerByte_;
  uint8_t ahead_[kReadChunk];
  uint32_t aheadStart_ = 0;
  uint32_t aheadEnd_ = 0;
};

// code followed by RESULT_RS232_SYSTEM_ERROR + systemError.
TResult RS232Failure(int32_t code, int32_t systemError);

// The traffic log of a port: "CommLog3.txt" for COM3.
std::string RS232LogName(uint16_t port);
