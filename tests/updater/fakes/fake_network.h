#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "net/network.h"
#include "../../platform/ready_network.h"

// A network channel whose connections reach a function instead of a server:
// each connection gathers one HTTP request (head and Content-Length body),
// hands it to the function and plays back the answer it gives, then ends
// as a server that closes. A wait on a connection passes time on the given
// clock, in milliseconds: until something comes or the wait's time is up.
class TFakeNetwork final : public TReadyNetworkDouble {
 public:
  using TRespond = std::function<std::string(const std::string& request)>;
  TFakeNetwork(TRespond respond, uint64_t& clock) : respond_(std::move(respond)), clock_(clock) {}

  // The connection that carries answer byte n (counted from 1 over every
  // answer of the network's life) fails just before it (0: never).
  uint64_t resetAtByte = 0;
  // An answer once complete: later answers are held back for ever, as by a
  // server that stops sending (0: never).
  uint32_t silentFromConnection = 0;
  // The connection that carries answer byte n stops just before it, as a
  // server gone silent in mid-answer (0: never), and closes after this many
  // milliseconds of silence (0: never).
  uint64_t stallAtByte = 0;
  uint32_t closeAfterStall = 0;

  uint32_t Connections() const { return connections_; }
  uint64_t BytesAnswered() const { return answered_; }

  TResult Connect(const TNetAddress& target, IConnection** out) override;
  TResult Listen(uint16_t, IConnection** out) override;

 private:
  friend class TFakeConnection;
  TRespond respond_;
  uint64_t& clock_;
  uint32_t connections_ = 0;
  uint64_t answered_ = 0;
};
