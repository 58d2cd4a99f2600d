#include "sim_timings.h"
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

double Seconds(TSimTimings::Clock::time_point from, TSimTimings::Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

bool Happened(TSimTimings::Clock::time_point moment) { return moment != TSimTimings::Clock::time_point(); }

}  // namespace

double NearestRank(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(share * static_cast<double>(values.size()));
  const size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
  return values[std::min(index, values.size() - 1)];
}

std::string TSimTimings::Report() const {
  std::string report;
  char line[200];
  if (Happened(requested_) && Happened(connected_)) {
    std::snprintf(line, sizeof line, "timing: connected %.1f ms after the request\n",
                  1000 * Seconds(requested_, connected_));
    report += line;
    if (Happened(allSent_)) {
      std::snprintf(line, sizeof line, "timing: everything sent acknowledged %.3f s after connecting\n",
                    Seconds(connected_, allSent_));
      report += line;
    }
    if (Happened(lastReceived_)) {
      std::snprintf(line, sizeof line, "timing: last byte received %.3f s after connecting\n",
                    Seconds(connected_, lastReceived_));
      report += line;
    }
  }
  if (Happened(requested_) && Happened(closed_)) {
    std::snprintf(line, sizeof line, "timing: session %.1f ms from the connect request to the acknowledged close\n",
                  1000 * Seconds(requested_, closed_));
    report += line;
  }
  if (!roundTripsMs_.empty()) {
    std::snprintf(line, sizeof line,
                  "round trips: %zu, median %.2f ms, 99th percentile %.2f ms, shortest %.2f ms, longest %.2f ms\n",
                  roundTripsMs_.size(), NearestRank(roundTripsMs_, 0.5), NearestRank(roundTripsMs_, 0.99),
                  NearestRank(roundTripsMs_, 0), NearestRank(roundTripsMs_, 1));
    report += line;
  }
  return report;
}
