// What the relay loop's wait costs with many idle host connections: for each
// count given, that many connections to a listener on 127.0.0.1 (its port
// chosen at run time) are opened, and one wait after another watches all of
// them for data, as the relay loop watches its connections, for a while.
// Nothing arrives, so every wait should last its limit; the figures are the
// waits made, how long each lasted, and the processor time this process
// spent per second of waiting (under Wine, the Wine server's own time comes
// on top).
//
// usage: io_wait_cost [SECONDS [LIMIT_MS [CONNECTIONS...]]]
//   SECONDS: how long each count is waited on (default 5)
//   LIMIT_MS: each wait's limit (default 20, the relay loop's)
//   CONNECTIONS: the counts to measure (default 55 75 300)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "net/network.h"
#include "net/socket_interface.h"
#include "processor_time.h"
#include "system/io_wait.h"

namespace {

using Clock = std::chrono::steady_clock;
using Connection = std::unique_ptr<IConnection>;

// A listener on a free port, tried from a random start so that runs side by
// side keep apart.
Connection Listen(INetworkInterface& network, uint16_t* port) {
  std::random_device random;
  const uint16_t first = static_cast<uint16_t>(20000 + random() % 30000);
  for (uint16_t candidate = first; candidate < first + 1000; ++candidate) {
    IConnection* listening = nullptr;
    if (network.Listen(candidate, &listening).Succeeded()) {
      *port = candidate;
      return Connection(listening);
    }
  }
  return nullptr;
}

// Both ends of count connections on 127.0.0.1, all connected; false when
// they do not come up within a few seconds.
bool OpenConnections(INetworkInterface& network, size_t count, std::vector<Connection>* near,
                     std::vector<Connection>* far) {
  uint16_t port = 0;
  Connection listener = Listen(network, &port);
  if (!listener) return false;
  for (size_t i = 0; i < count; ++i) {
    TNetAddress target;
    target.address = 0x7F000001;
    target.port = port;
    IConnection* client = nullptr;
    IConnection* server = nullptr;
    if (!network.Connect(target, &client).Succeeded() || !network.Listen(port, &server).Succeeded()) return false;
    near->emplace_back(client);
    far->emplace_back(server);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (client->GetState() != CONNECTION_CONNECTED || server->GetState() != CONNECTION_CONNECTED) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  return true;
}

void Measure(INetworkInterface& network, size_t count, double seconds, uint32_t limitMs) {
  std::vector<Connection> near;
  std::vector<Connection> far;
  if (!OpenConnections(network, count, &near, &far)) {
    std::printf("%zu connections: could not open them all\n", count);
    return;
  }
  // A mark for whoever measures beside the program (the Wine server's time).
  std::printf("%zu connections open, waiting\n", count);
  std::fflush(stdout);
  TIoWait wait;
  size_t waits = 0;
  const double processorFrom = ProcessorSeconds();
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  while (Clock::now() < end) {
    wait.Begin(limitMs);
    for (Connection& connection : near) dynamic_cast<IWaitable&>(*connection).Watch(wait, true, false);
    wait.Wait();
    ++waits;
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const double processor = ProcessorSeconds() - processorFrom;
  std::printf("%zu idle connections: %zu waits of at most %u ms in %.2f s, %.2f ms each; processor %.3f s, %.2f %% of a core\n",
              count, waits, limitMs, elapsed, 1000 * elapsed / static_cast<double>(waits), processor,
              100 * processor / elapsed);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5;
  const uint32_t limitMs = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 20;
  std::vector<size_t> counts;
  for (int i = 3; i < argc; ++i) counts.push_back(static_cast<size_t>(std::atoi(argv[i])));
  if (counts.empty()) counts = {55, 75, 300};

  std::unique_ptr<INetworkInterface> network(NewPlatformEthernetInterface(nullptr));
  network->Open();
  for (size_t count : counts) Measure(*network, count, seconds, limitMs);
  network->Close();
  return 0;
}
