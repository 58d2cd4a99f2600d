#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "build_flavour.h"
#include "net/socket_connection.h"
#include "net/socket_interface.h"
#include "system/io_wait.h"
#include "socket_testutil.h"

namespace {

class SocketConnection : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(network_->Open().Succeeded()); }
  void TearDown() override { network_->Close(); }

  // Sends all of data, a piece at a time as the socket takes it.
  static bool SendAll(IConnection* connection, const std::string& data) {
    size_t done = 0;
    return PollUntil([&] {
      int32_t sent = connection->Send(data.data() + done, static_cast<uint32_t>(data.size() - done));
      if (sent > 0) done += static_cast<size_t>(sent);
      return sent < 0 || done == data.size();
    }) && done == data.size();
  }

  static std::string ReceiveExactly(IConnection* connection, size_t count) {
    std::string received;
    char buffer[4096];
    PollUntil([&] {
      int32_t got = connection->Receive(buffer, sizeof buffer);
      if (got > 0) received.append(buffer, static_cast<size_t>(got));
      return got < 0 || received.size() >= count;
    });
    return received;
  }

  std::unique_ptr<INetworkInterface> network_{NewPlatformEthernetInterface(nullptr)};
};

TEST_F(SocketConnection, ConnectToClosedPortStartsThenClosesWith20001) {
  uint16_t port = 0;
  {
    // A port that was just listened on and is closed again.
    std::unique_ptr<INetworkInterface> other(NewPlatformEthernetInterface(nullptr));
    other->Open();
    ASSERT_NE(ListenOnFreePort(other.get(), &port), nullptr);
    other->Close();
  }
  std::unique_ptr<IConnection> connection = ConnectTo(network_.get(), port);
  ASSERT_NE(connection, nullptr);
  ASSERT_TRUE(PollUntil([&] { return connection->GetState() != CONNECTION_CONNECTING; }));
  EXPECT_EQ(connection->GetState(), CONNECTION_CLOSED);
  EXPECT_EQ(connection->GetLastResult().GetCode(), RESULT_SOCKET_CONNECT_FAILED);
}

TEST_F(SocketConnection, CarriesDataBothWaysUntilThePeerCloses) {
  TConnectedPair pair = ConnectPair(network_.get());
  ASSERT_NE(pair.server, nullptr);
  const uint8_t loopbackOctets[] = {127, 0, 0, 1};
  uint32_t peer = pair.server->GetPeerAddress();
  EXPECT_EQ(std::memcmp(&peer, loopbackOctets, 4), 0);

  char buffer[16];
  EXPECT_EQ(pair.client->Receive(buffer, sizeof buffer), 0);
  EXPECT_EQ(pair.client->GetState(), CONNECTION_CONNECTED);

  std::string request(70000, 'q');
  ASSERT_TRUE(SendAll(pair.client.get(), request));
  EXPECT_EQ(ReceiveExactly(pair.server.get(), request.size()), request);
  ASSERT_TRUE(SendAll(pair.server.get(), "answer"));
  EXPECT_EQ(ReceiveExactly(pair.client.get(), 6), "answer");

  // What was sent before a close still arrives first.
  ASSERT_TRUE(SendAll(pair.client.get(), "bye"));
  pair.client.reset();
  EXPECT_EQ(ReceiveExactly(pair.server.get(), 3), "bye");
  int32_t got = 0;
  ASSERT_TRUE(PollUntil([&] { return (got = pair.server->Receive(buffer, sizeof buffer)) != 0; }));
  EXPECT_EQ(got, -2);
  EXPECT_EQ(pair.server->GetLastResult().GetCode(), RESULT_SOCKET_CLOSED_BY_PEER);
  EXPECT_EQ(pair.server->GetState(), CONNECTION_CLOSED);
}

TEST_F(SocketConnection, ListenersOnOnePortShareTheListeningSocket) {
  uint16_t port = 0;
  std::unique_ptr<IConnection> first = ListenOnFreePort(network_.get(), &port);
  ASSERT_NE(first, nullptr);
  IConnection* raw = nullptr;
  ASSERT_TRUE(network_->Listen(port, &raw).Succeeded());
  std::unique_ptr<IConnection> second(raw);
  EXPECT_EQ(first->GetState(), CONNECTION_LISTENING);
  EXPECT_STREQ(dynamic_cast<TSocketConnection*>(first.get())->GetFileName(),
               dynamic_cast<TSocketConnection*>(second.get())->GetFileName());

  first.reset();
  std::unique_ptr<IConnection> client = ConnectTo(network_.get(), port);
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(PollUntil([&] { return second->GetState() == CONNECTION_CONNECTED; }));
}

TEST_F(SocketConnection, LargeSendRaisesTheSendBufferInTheUpdaterOnly) {
  TConnectedPair pair = ConnectPair(network_.get());
  ASSERT_NE(pair.server, nullptr);
  auto* client = dynamic_cast<TSocketConnection*>(pair.client.get());
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->GetSendBufferSize(), TSocketConnection::kInitialSendBufferSize);

  std::vector<char> large(300000, 'x');
  ASSERT_TRUE(PollUntil([&] { return client->Send(large.data(), 300000) != 0; }));
  uint32_t raised = kAgentBuild ? TSocketConnection::kInitialSendBufferSize : 300000;
  EXPECT_EQ(client->GetSendBufferSize(), raised);

  char small[100] = {};
  char drain[65536];
  ASSERT_TRUE(PollUntil([&] {
    pair.server->Receive(drain, sizeof drain);
    return client->Send(small, sizeof small) != 0;
  }));
  EXPECT_EQ(client->GetSendBufferSize(), raised);
}

// A waiting loop sleeps through a quiet connection and wakes for what it
// watches: a connect coming through, a peer to accept, data or a close to
// read, room to write; and at once when told something is ready already.
TEST_F(SocketConnection, WakesAWaitForWhatItIsWatchedFor) {
  TIoWait wait;
  auto wakes = [&](IConnection& connection, bool readable, bool writable, uint32_t limit) {
    wait.Begin(limit);
    dynamic_cast<IWaitable&>(connection).Watch(wait, readable, writable);
    return wait.Wait();
  };
  constexpr uint32_t kQuiet = 50;
  constexpr uint32_t kLong = 20000;

  uint16_t port = 0;
  std::unique_ptr<IConnection> server = ListenOnFreePort(network_.get(), &port);
  ASSERT_NE(server, nullptr);
  EXPECT_FALSE(wakes(*server, true, false, kQuiet)) << "nobody has come";
  std::unique_ptr<IConnection> client = ConnectTo(network_.get(), port);
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(wakes(*client, false, false, kLong)) << "the connect came through";
  EXPECT_TRUE(wakes(*server, false, false, kLong)) << "a peer to accept";
  ASSERT_TRUE(PollUntil([&] {
    return client->GetState() == CONNECTION_CONNECTED && server->GetState() == CONNECTION_CONNECTED;
  }));

  EXPECT_FALSE(wakes(*client, true, false, kQuiet)) << "nothing to read";
  EXPECT_FALSE(wakes(*client, false, false, kQuiet)) << "nothing asked for";
  EXPECT_TRUE(wakes(*client, false, true, kLong)) << "room to write";
  // A peer that stops reading: once the socket takes no more, also after a
  // pause in which the system could move what it holds on to the peer, a
  // wait for room sleeps, and wakes when the peer reads again during it.
  const std::string chunk(65536, 'w');
  size_t sent = 0;
  size_t before = 0;
  do {
    before = sent;
    ASSERT_TRUE(PollUntil([&] {
      const int32_t n = client->Send(chunk.data(), static_cast<uint32_t>(chunk.size()));
      if (n > 0) sent += static_cast<size_t>(n);
      return n <= 0;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(kQuiet));
  } while (sent != before);
  EXPECT_FALSE(wakes(*client, false, true, kQuiet)) << "no room to write";
  EXPECT_FALSE(wakes(*client, true, true, kQuiet)) << "no room, nothing to read";
  size_t drained = 0;
  std::thread peer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(kQuiet));
    drained = ReceiveExactly(server.get(), sent).size();
  });
  EXPECT_TRUE(wakes(*client, false, true, kLong)) << "room again";
  peer.join();
  ASSERT_EQ(sent, drained);
  ASSERT_TRUE(SendAll(server.get(), "x"));
  EXPECT_TRUE(wakes(*client, true, false, kLong)) << "data to read";
  EXPECT_EQ(ReceiveExactly(client.get(), 1), "x");
  EXPECT_FALSE(wakes(*client, true, false, kQuiet)) << "all of it read";
  server.reset();
  EXPECT_TRUE(wakes(*client, true, false, kLong)) << "the peer closed";

  wait.Begin(kLong);
  wait.Within(0);
  EXPECT_TRUE(wait.Wait()) << "something is ready already";
  wait.Begin(kLong);
  wait.Within(3);
  EXPECT_FALSE(wait.Wait()) << "a short wait with nothing watched runs out";
}

// One wait serves as many connections as the agent relays: the last of
// hundreds of quiet ones wakes it.
TEST_F(SocketConnection, OneWaitWatchesHundredsOfConnections) {
  constexpr size_t kConnections = 300;
  uint16_t port = 0;
  std::unique_ptr<IConnection> listener = ListenOnFreePort(network_.get(), &port);
  ASSERT_NE(listener, nullptr);
  std::vector<std::unique_ptr<IConnection>> clients;
  std::vector<std::unique_ptr<IConnection>> servers;
  for (size_t i = 0; i < kConnections; ++i) {
    clients.push_back(ConnectTo(network_.get(), port));
    ASSERT_NE(clients.back(), nullptr);
    IConnection* server = nullptr;
    ASSERT_TRUE(network_->Listen(port, &server).Succeeded());
    servers.emplace_back(server);
    ASSERT_TRUE(PollUntil([&] {
      return clients.back()->GetState() == CONNECTION_CONNECTED && servers.back()->GetState() == CONNECTION_CONNECTED;
    }));
  }
  TIoWait wait;
  auto wakes = [&](uint32_t limit) {
    wait.Begin(limit);
    for (auto& client : clients) dynamic_cast<IWaitable&>(*client).Watch(wait, true, false);
    return wait.Wait();
  };
  EXPECT_FALSE(wakes(50)) << "all quiet";
  ASSERT_TRUE(SendAll(servers.back().get(), "x"));
  EXPECT_TRUE(wakes(20000)) << "data for the last connection";
}

}  // namespace
