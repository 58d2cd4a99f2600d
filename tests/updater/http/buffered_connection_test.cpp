#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "http/buffered_connection.h"

namespace {

// What the inner connection answers, and what it was asked.
struct TScript {
  std::deque<std::string> reads;  // then -2: closed
  std::deque<int32_t> sendCounts;
  int32_t laterSendCount = 0;  // once sendCounts have run out
  std::vector<uint32_t> receiveSizes;
};

class TScriptedConnection : public IConnection {
 public:
  explicit TScriptedConnection(TScript* script) : script_(script) {}
  int32_t Send(const void*, uint32_t) override {
    if (script_->sendCounts.empty()) return script_->laterSendCount;
    const int32_t count = script_->sendCounts.front();
    script_->sendCounts.pop_front();
    return count;
  }
  int32_t Receive(void* buffer, uint32_t size) override {
    script_->receiveSizes.push_back(size);
    if (script_->reads.empty()) return -2;
    const std::string next = script_->reads.front();
    script_->reads.pop_front();
    std::memcpy(buffer, next.data(), next.size());
    return static_cast<int32_t>(next.size());
  }
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return CONNECTION_CONNECTED; }
  TResult GetLastResult() override { return TResult(); }

 private:
  TScript* script_;
};

class BufferedConnection : public ::testing::Test {
 protected:
  TScript script;
  TBufferedConnection connection{new TScriptedConnection(&script), 50};
};

TEST_F(BufferedConnection, SmallReadsComeFromOneRefillAndLargeOnesBypassTheBuffer) {
  script.reads = {"", "ab", std::string(5000, 'x')};
  char byte = 0;
  EXPECT_EQ(connection.Receive(&byte, 1), 0);  // refill found nothing yet
  EXPECT_EQ(connection.Receive(&byte, 1), 0);  // refill took "ab"
  EXPECT_EQ(connection.Receive(&byte, 1), 1);
  EXPECT_EQ(byte, 'a');
  char large[6000];
  EXPECT_EQ(connection.Receive(large, sizeof large), 1);  // what is buffered goes first
  EXPECT_EQ(large[0], 'b');
  EXPECT_EQ(connection.Receive(large, sizeof large), 5000);
  EXPECT_EQ(script.receiveSizes, (std::vector<uint32_t>{8192, 8192, 6000}));
}

TEST_F(BufferedConnection, AFailedRefillFailsEveryLaterRead) {
  char byte = 0;
  EXPECT_EQ(connection.Receive(&byte, 1), 0);
  script.reads = {"late"};
  EXPECT_EQ(connection.Receive(&byte, 1), -1);
  EXPECT_EQ(connection.Receive(&byte, 1), -1);
  EXPECT_EQ(script.receiveSizes.size(), 1u);
}

TEST_F(BufferedConnection, SendGoesOnUntilAllIsTakenAndStopsAtAFailureOrAStall) {
  const std::string data(100, 'd');
  script.sendCounts = {30, 0, 70};
  EXPECT_EQ(connection.Send(data.data(), 100), 100);
  script.sendCounts = {40, -1};
  EXPECT_EQ(connection.Send(data.data(), 100), 40);
  script.sendCounts = {10};
  EXPECT_EQ(connection.Send(data.data(), 100), 10);  // the peer never takes more
}

}  // namespace
