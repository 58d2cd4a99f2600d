#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "http/buffered_connection.h"
#include "http_peer.h"
#include "loopback_socket.h"
#include "system/device_layer.h"
#include "system/system.h"

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

// Over a real socket a wait blocks until there is something to do and says
// whether there was: the end of a connect (refused or not), bytes, the
// peer's close. Bytes already buffered need no wait.
TEST(BufferedConnection, WaitsOnARealSocketUntilItHasSomethingToDo) {
  INetworkInterface* network =
      dynamic_cast<INetworkInterface*>(GetSystem()->GetDeviceLayer()->GetDevice(DEVICE_ETHERNET, 0));
  ASSERT_NE(network, nullptr);
  network->Open();
  auto connect = [network](uint16_t port) {
    TNetAddress address;
    address.address = 0x7F000001;
    address.port = port;
    IConnection* made = nullptr;
    EXPECT_TRUE(network->Connect(address, &made).Succeeded());
    return std::make_unique<TBufferedConnection>(made, 1000);
  };

  std::unique_ptr<TBufferedConnection> refused = connect(ClosedLoopbackPort());
  EXPECT_TRUE(refused->WaitUntilReady(TConnectionWait::Send, 5000));
  EXPECT_EQ(refused->GetState(), CONNECTION_CLOSED);
  EXPECT_TRUE(refused->WaitUntilReady(TConnectionWait::Receive, 5000)) << "a closed connection does not wait";

  uint16_t port = 0;
  const TLoopbackSocket listening = ListenOnLoopback(&port);
  ASSERT_NE(listening, kNoLoopbackSocket);
  std::unique_ptr<TBufferedConnection> connection = connect(port);
  EXPECT_TRUE(connection->WaitUntilReady(TConnectionWait::Receive, 5000)) << "a connect is waited for as a send";
  EXPECT_EQ(connection->GetState(), CONNECTION_CONNECTED);
  const TLoopbackSocket peer = AcceptWithin(listening, 5000);
  ASSERT_NE(peer, kNoLoopbackSocket);
  EXPECT_TRUE(connection->WaitUntilReady(TConnectionWait::Send, 5000));
  EXPECT_FALSE(connection->WaitUntilReady(TConnectionWait::Receive, 50)) << "nothing came";

  ASSERT_TRUE(SendAll(peer, "hi"));
  EXPECT_TRUE(connection->WaitUntilReady(TConnectionWait::Receive, 5000));
  char bytes[2] = {};
  EXPECT_EQ(connection->Receive(bytes, 1), 0) << "the buffer was filled";
  EXPECT_TRUE(connection->WaitUntilReady(TConnectionWait::Receive, 5000));
  EXPECT_EQ(connection->Receive(bytes, 1), 1);
  EXPECT_EQ(connection->Receive(bytes + 1, 1), 1);
  EXPECT_EQ(std::string(bytes, 2), "hi");
  EXPECT_FALSE(connection->WaitUntilReady(TConnectionWait::Receive, 50)) << "all was read";

  ShutdownSending(peer);
  EXPECT_TRUE(connection->WaitUntilReady(TConnectionWait::Receive, 5000));
  EXPECT_EQ(connection->Receive(bytes, 1), 0) << "the refill met the end";
  EXPECT_TRUE(connection->WaitUntilReady(TConnectionWait::Receive, 5000));
  EXPECT_LT(connection->Receive(bytes, 1), 0);
  CloseLoopbackSocket(peer);
  CloseLoopbackSocket(listening);
}

}  // namespace
