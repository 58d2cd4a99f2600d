#pragma once
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "net/network.h"
#include "system/io_wait.h"

// A serial line for the serial port tests: its near end is the port COMn
// (n = Port()) that the platform's serial port interface opens, and the test
// plays the far end through this object.
class TRS232TestLine {
 public:
  virtual ~TRS232TestLine() = default;
  virtual uint16_t Port() const = 0;
  virtual void SendFar(const std::string& bytes) = 0;
  // Reads from the far end until count bytes have come or the line has been
  // quiet for a long while (a fault, never the expected outcome).
  virtual std::string ReceiveFar(size_t count) = 0;
  // Why a second open of the port cannot be expected to fail on this line;
  // empty when it can.
  virtual std::string WhyNotExclusive() const { return std::string(); }
  // Cuts the line as a device that goes away would: the port's device fails
  // from then on. Why this line cannot be cut; empty when it can.
  virtual std::string WhyNotCut() const { return "this test line cannot be cut"; }
  virtual void Cut() {}
};

// A fresh line, or null: when this machine offers none, with the reason in
// whyNot; when opening it went wrong, with whyNot empty.
std::unique_ptr<TRS232TestLine> OpenRS232TestLine(std::string* whyNot);

// A port number that names no port, and the operating system's error number
// for opening it.
uint16_t MissingRS232Port();
int32_t MissingRS232PortError();
// The operating system's error number behind a write that timed out.
int32_t RS232WriteTimeoutError();

// Give up reading from a line that has been quiet this long.
constexpr int kRS232QuietGiveUpMs = 20000;

// Reads from a port until count bytes have come (never more) or the line has
// been quiet too long. Before each read it waits for the port to have a few
// of the bytes still missing (a short message whole, when it comes whole),
// but not for many: a reader that sleeps while a large transfer trickles in
// would hold up the writer.
inline std::string ReceiveFromPort(IConnection& port, size_t count) {
  std::string received;
  char buffer[4096];
  TIoWait wait;
  auto* waitable = dynamic_cast<IWaitable*>(&port);
  auto quietSince = std::chrono::steady_clock::now();
  while (received.size() < count && std::chrono::steady_clock::now() - quietSince <
                                        std::chrono::milliseconds(kRS232QuietGiveUpMs)) {
    const size_t wanted = std::min(sizeof buffer, count - received.size());
    if (waitable) {
      constexpr size_t kFewBytes = 16;
      wait.Begin(100);
      waitable->WatchForBytes(wait, std::min(wanted, kFewBytes));
      wait.Wait();
    }
    const int32_t n = port.Receive(buffer, static_cast<uint32_t>(wanted));
    if (n < 0) break;
    if (n > 0) {
      received.append(buffer, static_cast<size_t>(n));
      quietSince = std::chrono::steady_clock::now();
    }
  }
  return received;
}
