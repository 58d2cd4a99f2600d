#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "net/network.h"
#include "../../platform/ready_network.h"

// A network channel whose connections reach a function instead of a server:
// each connection gathers one HTTP request (head and Content-Length body),
// hands it to the function and plays back the answer it gives, then ends
// as a server that closes. Connections are never waited on: a client that
// finds nothing takes its idle step.
class TFakeNetwork final : public TReadyNetworkDouble {
 public:
  using TRespond = std::function<std::string(const std::string& request)>;
  explicit TFakeNetwork(TRespond respond) : respond_(std::move(respond)) {}

  // The connection that carries answer byte n (counted from 1 over every
  // answer of the network's life) fails just before it (0: never).
  uint64_t resetAtByte = 0;
  // An answer once complete: later answers are held back for ever, as by a
  // server that stops sending (0: never).
  uint32_t silentFromConnection = 0;

  uint32_t Connections() const { return connections_; }
  uint64_t BytesAnswered() const { return answered_; }

  TResult Connect(const TNetAddress& target, IConnection** out) override;
  TResult Listen(uint16_t, IConnection** out) override;

 private:
  friend class TFakeConnection;
  TRespond respond_;
  uint32_t connections_ = 0;
  uint64_t answered_ = 0;
};
