#pragma once
#include <chrono>
#include <memory>
#include <random>
#include <thread>

#include "net/network.h"

constexpr IpAddress kLoopback = 0x7F000001;

// Polls until done() holds. The connections never wait by themselves, so
// the test gives the other end a moment between turns; the bound only turns
// a connection that never gets there into a failure instead of a hang.
template <class Done>
bool PollUntil(Done done) {
  for (int turn = 0; turn < 20000; ++turn) {
    if (done()) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// A listening connection on a port that was free: ports are tried from a
// random start so that test programs running side by side keep apart.
inline std::unique_ptr<IConnection> ListenOnFreePort(INetworkInterface* network, uint16_t* port) {
  std::random_device random;
  uint16_t first = static_cast<uint16_t>(20000 + random() % 30000);
  for (uint16_t candidate = first; candidate < first + 1000; ++candidate) {
    IConnection* listening = nullptr;
    if (network->Listen(candidate, &listening).Succeeded()) {
      *port = candidate;
      return std::unique_ptr<IConnection>(listening);
    }
  }
  return nullptr;
}

inline std::unique_ptr<IConnection> ConnectTo(INetworkInterface* network, uint16_t port) {
  IConnection* connection = nullptr;
  TNetAddress target;
  target.address = kLoopback;
  target.port = port;
  network->Connect(target, &connection);
  return std::unique_ptr<IConnection>(connection);
}

// An outgoing connection and the one that accepted it, both connected.
struct TConnectedPair {
  std::unique_ptr<IConnection> client;
  std::unique_ptr<IConnection> server;
};

inline TConnectedPair ConnectPair(INetworkInterface* network) {
  TConnectedPair pair;
  uint16_t port = 0;
  pair.server = ListenOnFreePort(network, &port);
  if (!pair.server) {
    return pair;
  }
  pair.client = ConnectTo(network, port);
  if (!pair.client || !PollUntil([&] {
        return pair.client->GetState() == CONNECTION_CONNECTED && pair.server->GetState() == CONNECTION_CONNECTED;
      })) {
    return TConnectedPair();
  }
  return pair;
}
