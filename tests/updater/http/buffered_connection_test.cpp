#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "http/buffered_connection.h"

namespace {

// An inner connection that takes as many bytes per send as its script says,
// then none at all.
class TSlowTaker : public IConnection {
 public:
  explicit TSlowTaker(std::deque<int32_t>* counts) : counts_(counts) {}
  int32_t Send(const void*, uint32_t) override {
    if (counts_->empty()) return 0;
    const int32_t count = counts_->front();
    counts_->pop_front();
    return count;
  }
  int32_t Receive(void*, uint32_t) override { return 0; }
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return CONNECTION_CONNECTED; }
  TResult GetLastResult() override { return TResult(); }

 private:
  std::deque<int32_t>* counts_;
};

TEST(BufferedConnection, SendGoesOnUntilAllIsTakenAndStopsAtAFailureOrAStall) {
  std::deque<int32_t> counts;
  TBufferedConnection connection(new TSlowTaker(&counts), 50);
  const std::string data(100, 'd');
  counts = {30, 0, 0, 70};
  EXPECT_EQ(connection.Send(data.data(), 100), 100);
  counts = {40, -1, 60};
  EXPECT_EQ(connection.Send(data.data(), 100), 40);
  counts = {10};
  EXPECT_EQ(connection.Send(data.data(), 100), 10);  // the peer never takes more
}

}  // namespace
