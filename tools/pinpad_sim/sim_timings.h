#pragma once
#include <chrono>
#include <string>
#include <vector>

// What one run of the simulator measures: the moments of its connection and
// the round trips of its exchanges, on the steady clock.
class TSimTimings {
 public:
  using Clock = std::chrono::steady_clock;

  void ConnectRequested() { requested_ = Clock::now(); }
  void Connected() { connected_ = Clock::now(); }
  // Everything there was to send has been acknowledged by the far end.
  void AllSent() {
    if (allSent_ == Clock::time_point()) allSent_ = Clock::now();
  }
  void Received() { lastReceived_ = Clock::now(); }
  void Closed() { closed_ = Clock::now(); }
  void RoundTrip(Clock::duration taken) {
    roundTripsMs_.push_back(std::chrono::duration<double, std::milli>(taken).count());
  }

  // One line for each thing measured, each starting with "timing:" or
  // "round trips:".
  std::string Report() const;

 private:
  Clock::time_point requested_;
  Clock::time_point connected_;
  Clock::time_point allSent_;
  Clock::time_point lastReceived_;
  Clock::time_point closed_;
  std::vector<double> roundTripsMs_;
};

// The value below which the given share of the values lie, by nearest rank
// (0.5 gives the median of an odd count, 0.99 the 99th percentile); 0 for
// no values.
double NearestRank(std::vector<double> values, double share);
