#include "rs232_connection.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "rs232_interface.h"

namespace {

// Counts travel back as int32_t; a larger request is served in part.
constexpr uint32_t kLargestTransfer = INT32_MAX;

}  // namespace

TRS232Connection::TRS232Connection(const char* logName, IFileSystem* logFileSystem,
                                   const TRS232Settings& settings)
    : TLoggerToFile(logName, logFileSystem),
      bitsPerSecond_(settings.baudRate > 0 ? static_cast<uint32_t>(settings.baudRate) : 1),
      // A start bit, the data bits, a parity bit unless none, the stop bits.
      bitsPerByte_(1u + settings.byteSize + (settings.parity == 'N' ? 0u : 1u) +
                   (settings.stopBits == 1 ? 1u : 2u)) {
  Log(T_LE_Connected());
}

TRS232Connection::~TRS232Connection() { Log(T_LE_Disconnected()); }

int32_t TRS232Connection::Send(const void* data, uint32_t length) {
  const int32_t written = WriteRaw(data, std::min(length, kLargestTransfer));
  if (written > 0) {
    Log(T_LE_Sent(data, static_cast<uint32_t>(written)));
  }
  return written;
}

int32_t TRS232Connection::Receive(void* buffer, uint32_t size) {
  if (size == 0) return 0;
  int32_t received = 0;
  if (aheadStart_ < aheadEnd_) {
    received = static_cast<int32_t>(std::min(size, aheadEnd_ - aheadStart_));
    std::memcpy(buffer, ahead_ + aheadStart_, static_cast<size_t>(received));
    aheadStart_ += static_cast<uint32_t>(received);
  } else if (size >= kReadChunk) {
    received = ReadRaw(buffer, std::min(size, kLargestTransfer));
  } else {
    const int32_t read = ReadRaw(ahead_, kReadChunk);
    if (read <= 0) return read;
    aheadStart_ = 0;
    aheadEnd_ = static_cast<uint32_t>(read);
    return Receive(buffer, size);
  }
  if (received > 0) {
    Log(T_LE_Received(buffer, static_cast<uint32_t>(received)));
  }
  return received;
}

void TRS232Connection::Watch(IIoWait& wait, bool readable, bool) {
  if (readable) WatchForBytes(wait, 1);
}

void TRS232Connection::WatchForBytes(IIoWait& wait, size_t count) {
  if (aheadStart_ < aheadEnd_) {
    wait.Within(0);
    return;
  }
  WatchDevice(wait, count == 0 ? 1 : count);
}

bool TRS232Connection::WaitForLineTime(IIoWait& wait, size_t count, size_t waiting) {
  if (waiting >= count) {
    wait.Within(0);
    return false;
  }
  constexpr uint32_t kShortestSleep = 2;
  const uint32_t rest = LineTimeMs(count - waiting);
  if (rest < kShortestSleep) return true;
  wait.Within(rest);
  return false;
}

uint32_t TRS232Connection::LineTimeMs(size_t bytes) const {
  const uint64_t bits = static_cast<uint64_t>(bytes) * bitsPerByte_;
  return static_cast<uint32_t>(std::min<uint64_t>(bits * 1000 / bitsPerSecond_, UINT32_MAX));
}

void TRS232Connection::Fail(int32_t code, int32_t systemError) {
  lastResult_ = RS232Failure(code, systemError);
}

TResult RS232Failure(int32_t code, int32_t systemError) {
  return TResult(code, RESULT_RS232_SYSTEM_ERROR + systemError);
}

std::string RS232LogName(uint16_t port) {
  char name[32];
  std::snprintf(name, sizeof name, "CommLog%ld.txt", static_cast<long>(port));
  return name;
}
