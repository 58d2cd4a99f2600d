// Measures how fast the serial port link carries data one way: the bytes go
// from one COM port to another through the platform's serial port interface,
// the sender either paced at a line rate (as a UART would send them, 10 bits
// a byte for 8N1) or unpaced (as fast as the line takes them). Join the two
// ports with a null-modem cable or, on Linux, with socat's pseudo-terminal
// pair (serial_throughput.sh does that and runs both measurements).
//
// usage: serial_throughput SENDING_PORT RECEIVING_PORT [RATE [BYTES [READ_SIZE]]]
//   RATE: bits per second to pace the sender at, 0 = unpaced (default 0)
//   BYTES: how much to send (default 1048576)
//   READ_SIZE: bytes asked for by each receive (default 4096)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "rs232_interface.h"

namespace {

using Clock = std::chrono::steady_clock;

// Quiet this long with bytes still missing, the line has lost them.
constexpr auto kGiveUp = std::chrono::seconds(10);
constexpr size_t kLargestSend = 4096;

std::unique_ptr<IConnection> OpenPort(IRS232Interface& ports, uint16_t port) {
  TRS232Settings settings;
  settings.port = port;
  IConnection* connection = nullptr;
  const TResult result = ports.OpenPort(settings, &connection);
  if (!result.Succeeded()) {
    std::fprintf(stderr, "COM%u does not open:", port);
    for (int32_t code : result.Codes()) std::fprintf(stderr, " %ld", static_cast<long>(code));
    std::fprintf(stderr, "\n");
  }
  return std::unique_ptr<IConnection>(connection);
}

// Sends all of data, no faster than rate bits per second when rate is set.
void Send(IConnection& port, const std::string& data, long rate, Clock::time_point start) {
  size_t sent = 0;
  while (sent < data.size()) {
    size_t allowed = data.size() - sent;
    if (rate > 0) {
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      const size_t due = std::min(data.size(), static_cast<size_t>(seconds * rate / 10));
      allowed = due > sent ? due - sent : 0;
      if (allowed == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
    }
    const int32_t n =
        port.Send(data.data() + sent, static_cast<uint32_t>(std::min(allowed, kLargestSend)));
    if (n <= 0) {
      std::fprintf(stderr, "send failed after %zu bytes: %ld\n", sent,
                   static_cast<long>(port.GetLastResult().GetCode()));
      return;
    }
    sent += static_cast<size_t>(n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s SENDING_PORT RECEIVING_PORT [RATE [BYTES [READ_SIZE]]]\n", argv[0]);
    return 2;
  }
  const auto sendingPort = static_cast<uint16_t>(std::atoi(argv[1]));
  const auto receivingPort = static_cast<uint16_t>(std::atoi(argv[2]));
  const long rate = argc > 3 ? std::atol(argv[3]) : 0;
  const size_t size = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 1048576;
  const size_t readSize = std::max<size_t>(1, argc > 5 ? std::strtoul(argv[5], nullptr, 10) : 4096);

  std::unique_ptr<IRS232Interface> ports(NewPlatformRS232Interface(nullptr));
  std::unique_ptr<IConnection> sender = OpenPort(*ports, sendingPort);
  std::unique_ptr<IConnection> receiver = OpenPort(*ports, receivingPort);
  if (!sender || !receiver) return 1;

  std::string data(size, '\0');
  std::mt19937 random(1);
  for (char& byte : data) byte = static_cast<char>(random());

  std::string received;
  received.reserve(size);
  std::vector<char> buffer(readSize);
  size_t reads = 0;
  const Clock::time_point start = Clock::now();
  std::thread sending(Send, std::ref(*sender), std::cref(data), rate, start);
  Clock::time_point last = start;
  while (received.size() < size && Clock::now() - last < kGiveUp) {
    const int32_t n = receiver->Receive(buffer.data(), static_cast<uint32_t>(readSize));
    if (n < 0) break;
    if (n > 0) {
      received.append(buffer.data(), static_cast<size_t>(n));
      last = Clock::now();
      ++reads;
    }
  }
  sending.join();

  const double seconds = std::chrono::duration<double>(last - start).count();
  const double bytesPerSecond = seconds > 0 ? received.size() / seconds : 0;
  std::printf("%zu of %zu bytes in %.3f s: %.0f bytes/s", received.size(), size, seconds, bytesPerSecond);
  if (rate > 0) {
    std::printf(" (%.1f%% of %ld baud 8N1, %ld bytes/s)", 100.0 * bytesPerSecond * 10 / rate, rate,
                rate / 10);
  }
  std::printf("; %zu reads of up to %zu bytes, %.1f bytes each on average\n", reads, readSize,
              reads ? static_cast<double>(received.size()) / reads : 0.0);
  if (received != data) {
    std::printf("the bytes did not arrive as sent\n");
    return 1;
  }
  return 0;
}
