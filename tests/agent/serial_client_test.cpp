#include <gtest/gtest.h>
#include <memory>
#include <string>
#include "../platform/socket_testutil.h"
#include "net/socket_interface.h"
#include "serial_network_interface.h"
#include "serial_testutil.h"

// The requesting role: a serial network interface asks the agent at the
// other end of the cable for connections, which the agent makes on the PC's
// real network interface on 127.0.0.1.

namespace {

class SerialClient : public ::testing::Test {
 protected:
  void SetUp() override {
    agentSide.Put(DEVICE_RS232, 1, &agentPorts);
    agentSide.Put(DEVICE_ETHERNET, 0, pc.get());
    farSide.Put(DEVICE_RS232, 2, &farPorts);
    // Whatever waits on the far side gives the agent its turn.
    farSide.whenIdle = [this] { agent.Poll(); };
    pc->Open();
    ASSERT_EQ(0, agent.OpenLink(false).GetCode());
  }
  void TearDown() override { pc->Close(); }

  std::unique_ptr<IConnection> Connect(uint16_t port, TResult* result = nullptr) {
    IConnection* connection = nullptr;
    TNetAddress target;
    target.address = kLoopback;
    target.port = port;
    const TResult outcome = remote.Connect(target, &connection);
    if (result) *result = outcome;
    return std::unique_ptr<IConnection>(connection);
  }
  // Reads from a connection while the agent relays.
  std::string ReadAll(IConnection& connection, size_t wanted) {
    std::string text;
    char buffer[256];
    PollUntil([&] {
      agent.Poll();
      const int32_t n = connection.Receive(buffer, sizeof buffer);
      if (n > 0) text.append(buffer, static_cast<size_t>(n));
      return text.size() >= wanted || n < 0;
    });
    return text;
  }

  uint32_t now = 0;
  std::shared_ptr<SerialLine> line = std::make_shared<SerialLine>();
  FakeSerialPorts agentPorts{line, 0};
  FakeSerialPorts farPorts{line, 1};
  std::unique_ptr<INetworkInterface> pc{NewPlatformEthernetInterface(nullptr)};
  FakeSerialEnvironment agentSide{now};
  FakeSerialEnvironment farSide{now};
  TSerialNetworkInterface agent{1, agentSide};
  TSerialNetworkInterface remote{2, farSide};
};

TEST_F(SerialClient, ConnectionThroughTheAgentCarriesDataBothWaysUntilEitherSideCloses) {
  uint16_t port = 0;
  auto host = ListenOnFreePort(pc.get(), &port);
  ASSERT_TRUE(host);
  TResult result;
  auto connection = Connect(port, &result);
  ASSERT_EQ(0, result.GetCode()) << "the closed interface opens itself";
  ASSERT_TRUE(connection);
  EXPECT_EQ(20027, connection->GetLastResult().GetCode()) << "nothing reported yet";
  ASSERT_TRUE(PollUntil([&] {
    agent.Poll();
    return connection->GetState() == CONNECTION_CONNECTED && host->GetState() == CONNECTION_CONNECTED;
  }));
  EXPECT_EQ(0, connection->GetLastResult().GetCode());

  EXPECT_EQ(3, connection->Send("abc", 3));
  EXPECT_EQ("abc", ReadAll(*host, 3));
  ASSERT_EQ(3, host->Send("xyz", 3));
  EXPECT_EQ("xyz", ReadAll(*connection, 3));

  // This side closes: the host sees it.
  connection.reset();
  char byte;
  EXPECT_TRUE(PollUntil([&] {
    agent.Poll();
    return host->Receive(&byte, 1) < 0;
  }));

  // The host closes after a last word: the word is still delivered.
  IConnection* accepting = nullptr;
  ASSERT_EQ(0, pc->Listen(port, &accepting).GetCode());
  host.reset(accepting);
  connection = Connect(port);
  ASSERT_TRUE(PollUntil([&] {
    agent.Poll();
    return connection->GetState() == CONNECTION_CONNECTED && host->GetState() == CONNECTION_CONNECTED;
  }));
  ASSERT_EQ(3, host->Send("bye", 3));
  host.reset();
  EXPECT_EQ("bye", ReadAll(*connection, 3));
  EXPECT_TRUE(PollUntil([&] {
    agent.Poll();
    return connection->GetState() == CONNECTION_CLOSED;
  }));
  EXPECT_EQ(-1, connection->Receive(&byte, 1));
  EXPECT_EQ(-1, connection->Send("x", 1));
}

TEST_F(SerialClient, LowPortListenIsALocalListenerThatSendsNothing) {
  ASSERT_EQ(0, remote.Open().GetCode());
  for (int i = 0; i < 10; ++i) agent.Poll();
  line->toSide[0].clear();
  line->toSide[1].clear();

  IConnection* listening = nullptr;
  ASSERT_EQ(0, remote.Listen(80, &listening).GetCode());
  std::unique_ptr<IConnection> listener(listening);
  EXPECT_EQ(CONNECTION_LISTENING, listener->GetState());
  char byte = 'x';
  EXPECT_EQ(-1, listener->Send(&byte, 1));
  EXPECT_EQ(-1, listener->Receive(&byte, 1));
  EXPECT_EQ(0x7F000001u, listener->GetPeerAddress());
  EXPECT_TRUE(line->toSide[0].empty()) << "no message for a local listener";
}

TEST_F(SerialClient, ConnectionsOutlivingTheirSessionAnswerAsClosed) {
  uint16_t port = 0;
  auto host = ListenOnFreePort(pc.get(), &port);
  ASSERT_TRUE(host);
  auto connection = Connect(port);
  ASSERT_TRUE(connection);
  IConnection* listening = nullptr;
  ASSERT_EQ(0, remote.Listen(81, &listening).GetCode());
  std::unique_ptr<IConnection> listener(listening);

  remote.Close();
  EXPECT_TRUE(line->closed[1]);
  char byte = 0;
  EXPECT_EQ(CONNECTION_CLOSED, connection->GetState());
  EXPECT_EQ(-1, connection->Send("x", 1));
  EXPECT_EQ(-1, connection->Receive(&byte, 1));
  EXPECT_EQ(CONNECTION_CLOSED, listener->GetState());
  EXPECT_EQ(-1, listener->Receive(&byte, 1));
  // Destroyed after the session: nothing reaches for it, nothing is sent.
  const size_t before = line->toSide[0].size();
  connection.reset();
  listener.reset();
  EXPECT_EQ(before, line->toSide[0].size());
}

TEST_F(SerialClient, AgentResetClosesTheConnectionsOfTheOldSessionOnly) {
  uint16_t port = 0;
  auto host = ListenOnFreePort(pc.get(), &port);
  ASSERT_TRUE(host);
  auto connection = Connect(port);
  ASSERT_TRUE(PollUntil([&] {
    agent.Poll();
    return connection->GetState() == CONNECTION_CONNECTED;
  }));
  agent.Close();
  ASSERT_EQ(0, agent.OpenLink(false).GetCode());
  EXPECT_TRUE(PollUntil([&] {
    agent.Poll();
    return connection->GetState() == CONNECTION_CLOSED;
  }));

  // Both ends open at once: this side's reset is waiting on the line when
  // the agent opens. A connection asked for as soon as the link is up is of
  // the new session, and the agent's reset must not close it.
  connection.reset();
  agent.Close();
  remote.Close();
  line->toSide[0].clear();
  line->toSide[1].clear();
  farSide.whenIdle = [this] {
    if (!agent.HasSession()) agent.OpenLink(false);
    agent.Poll();
  };
  ASSERT_EQ(0, remote.Open().GetCode());
  connection = Connect(port);
  ASSERT_TRUE(PollUntil([&] {
    agent.Poll();
    return connection->GetState() != CONNECTION_CONNECTING;
  }));
  EXPECT_EQ(CONNECTION_CONNECTED, connection->GetState());
}

TEST_F(SerialClient, FailuresReachTheCallerAsCodes) {
  agentSide.devices.erase(DEVICE_ETHERNET * 0x10000);  // the agent has no network
  auto refused = Connect(80);
  ASSERT_TRUE(refused);
  ASSERT_TRUE(PollUntil([&] {
    agent.Poll();
    return refused->GetState() == CONNECTION_CLOSED;
  }));
  EXPECT_EQ(20011, refused->GetLastResult().GetCode()) << "the far end's code";

  remote.Close();
  farPorts.available = false;
  TResult result;
  EXPECT_FALSE(Connect(80, &result));
  EXPECT_EQ(20011, result.GetCode()) << "no COM port, no session";
  IConnection* listening = reinterpret_cast<IConnection*>(1);
  EXPECT_EQ(20011, remote.Listen(5000, &listening).GetCode());
  EXPECT_EQ(nullptr, listening);
}

}  // namespace
