// The real agent program on one end of a pseudo-terminal, a PIN pad on the
// other, and hosts on 127.0.0.1: what the PIN pad asks for reaches the hosts
// and their answers come back.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include "agent_process.h"
#include "posix_pad_line.h"
#include "posix_tcp_peer.h"

namespace {

// Deadlines, not expectations: a healthy agent answers in milliseconds, but
// it retries a missing or released port only every 5 seconds.
constexpr int kWaitMs = 10000;
constexpr int kPortRetryWaitMs = 15000;
constexpr IpAddress kLocalHost = 0x7F000001;

TSerialMessage Message(uint8_t type, uint32_t id) {
  TSerialMessage message;
  message.type = type;
  message.id = id;
  return message;
}

TSerialMessage ConnectTo(uint32_t id, uint16_t port) {
  TSerialMessage message = Message(MSG_CONNECT, id);
  message.address = kLocalHost;
  message.port = port;
  return message;
}

TSerialMessage DataToHost(uint32_t id, const std::string& data) {
  TSerialMessage message = Message(MSG_DATA_TO_HOST, id);
  message.data = TByteBuffer(data);
  return message;
}

// An agent folder whose COM5 is the given device, enabled, running in the
// console (or, without an argument, as the service).
struct TRunningAgent {
  explicit TRunningAgent(const std::string& device, const char* argument = "run") {
    folder.WriteFile("agent.ini", "Enabled=1\r\n");
    folder.WriteFile("pinpad.ini", "ComPort=5\r\n");
    std::filesystem::create_directory(folder.Path() + "/ports");
    std::filesystem::create_symlink(device, ComLink());
    process = std::make_unique<TAgentProcess>(folder, argument);
  }
  std::string ComLink() const { return folder.Path() + "/ports/com5"; }

  TAgentFolder folder{"e2e-agent"};
  std::unique_ptr<TAgentProcess> process;
};

// The next message, which must be of the given type and id.
void ExpectMessage(TPadLine& pad, uint8_t type, uint32_t id, TSerialMessage* out = nullptr) {
  TSerialMessage message;
  ASSERT_TRUE(pad.Receive(&message, kWaitMs)) << "no message of type " << int(type);
  EXPECT_EQ(type, message.type);
  EXPECT_EQ(id, message.id);
  if (out) *out = message;
}

TEST(AgentEndToEnd, RelaysHostConnectionsBothWaysAndReportsTheirEnd) {
  TPadLine pad;
  TRunningAgent agent(pad.SlavePath());
  ASSERT_TRUE(pad.AcceptReset(kWaitMs));
  TTcpListener host;

  // Connected, data both ways, closed by the pad.
  ASSERT_TRUE(pad.Send(ConnectTo(7, host.Port()), kWaitMs));
  const int first = host.Accept(kWaitMs);
  ASSERT_GE(first, 0);
  TSerialMessage status;
  ExpectMessage(pad, MSG_STATUS, 7, &status);
  EXPECT_EQ(0, status.code);
  ASSERT_TRUE(pad.Send(DataToHost(7, "ping"), kWaitMs));
  EXPECT_EQ("ping", ReadBytes(first, 4, kWaitMs));
  WriteBytes(first, "pong");
  TSerialMessage answer;
  ExpectMessage(pad, MSG_DATA_TO_CLIENT, 7, &answer);
  EXPECT_EQ("pong", answer.data.ToString());
  ASSERT_TRUE(pad.Send(Message(MSG_CLOSE, 7), kWaitMs));
  EXPECT_TRUE(PeerCloses(first, kWaitMs));
  close(first);

  // A host that sends more than one message holds, then closes.
  ASSERT_TRUE(pad.Send(ConnectTo(8, host.Port()), kWaitMs));
  const int second = host.Accept(kWaitMs);
  ASSERT_GE(second, 0);
  ExpectMessage(pad, MSG_STATUS, 8);
  std::string burst(10000, '\0');
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<char>(i * 7 + i / 251);
  WriteBytes(second, burst);
  close(second);
  std::string relayed;
  TSerialMessage message;
  while (pad.Receive(&message, kWaitMs) && message.type == MSG_DATA_TO_CLIENT) {
    EXPECT_EQ(8u, message.id);
    EXPECT_LE(message.data.Length(), 4096u);
    relayed += message.data.ToString();
  }
  EXPECT_EQ(MSG_CLOSED, message.type);
  EXPECT_EQ(8u, message.id);
  EXPECT_TRUE(relayed == burst) << "relayed " << relayed.size() << " of " << burst.size() << " bytes intact";

  // Nobody listens: the failure arrives as a close, not as a status.
  ASSERT_TRUE(pad.Send(ConnectTo(9, UnusedPort()), kWaitMs));
  ExpectMessage(pad, MSG_CLOSED, 9);
}

TEST(AgentEndToEnd, RefusesADamagedFrameAndDropsHostConnectionsOnReset) {
  TPadLine pad;
  TRunningAgent agent(pad.SlavePath());
  ASSERT_TRUE(pad.AcceptReset(kWaitMs));

  pad.WriteData(42, DataToHost(1, "lost").Serialize(), true);
  TByteBuffer frame;
  ASSERT_TRUE(pad.ReadFrame(&frame, kWaitMs));
  ASSERT_GE(frame.Length(), 2u);
  EXPECT_EQ(0x15, frame[0]) << "a NAK";
  EXPECT_EQ(42, frame[1]);

  TTcpListener host;
  ASSERT_TRUE(pad.Send(ConnectTo(1, host.Port()), kWaitMs));
  const int connection = host.Accept(kWaitMs);
  ASSERT_GE(connection, 0);
  ExpectMessage(pad, MSG_STATUS, 1);
  ASSERT_TRUE(pad.Send(Message(MSG_RESET, 0), kWaitMs));
  EXPECT_TRUE(PeerCloses(connection, kWaitMs));
  close(connection);
}

TEST(AgentEndToEnd, ListensOnThePadsBehalf) {
  TPadLine pad;
  TRunningAgent agent(pad.SlavePath());
  ASSERT_TRUE(pad.AcceptReset(kWaitMs));

  TSerialMessage listen = Message(MSG_LISTEN, 3);
  listen.port = UnusedPort();
  ASSERT_GE(listen.port, 4096);
  ASSERT_TRUE(pad.Send(listen, kWaitMs));
  // The agent listens once it has the request; until then a connect fails.
  int peer = -1;
  for (int attempt = 0; attempt < 100 && peer < 0; ++attempt) {
    peer = ConnectLocal(listen.port);
    if (peer < 0) usleep(50000);
  }
  ASSERT_GE(peer, 0);
  TSerialMessage accepted;
  ExpectMessage(pad, MSG_ACCEPTED, 3, &accepted);
  // 127.0.0.1 in the socket layer's byte order: its octets last first.
  EXPECT_EQ(0x0100007Fu, accepted.address);
  EXPECT_EQ(0, accepted.port);

  WriteBytes(peer, "hello pad");
  TSerialMessage data;
  ExpectMessage(pad, MSG_DATA_TO_CLIENT, 3, &data);
  EXPECT_EQ("hello pad", data.data.ToString());
  ASSERT_TRUE(pad.Send(DataToHost(3, "hello peer"), kWaitMs));
  EXPECT_EQ("hello peer", ReadBytes(peer, 10, kWaitMs));
  close(peer);
  ExpectMessage(pad, MSG_CLOSED, 3);
}

TEST(AgentEndToEnd, FollowsThePortAndTheEnabledSwitch) {
  TPadLine pad;
  TRunningAgent agent(pad.SlavePath() + "-not-yet");
  // The agent starts without its port and keeps trying.
  ASSERT_FALSE(pad.AcceptReset(1000));
  const std::string fresh = agent.ComLink() + ".new";
  std::filesystem::create_symlink(pad.SlavePath(), fresh);
  std::filesystem::rename(fresh, agent.ComLink());
  ASSERT_TRUE(pad.AcceptReset(kPortRetryWaitMs));

  agent.folder.WriteFile("agent.ini", "Enabled=0\r\n");
  EXPECT_TRUE(pad.AgentEndClosed(kPortRetryWaitMs)) << "the port is released";
  agent.folder.WriteFile("agent.ini", "Enabled=1\r\n");
  EXPECT_TRUE(pad.AcceptReset(kPortRetryWaitMs)) << "the port is taken again";
}

// A pad that stops reading the line while a host floods it: the agent's
// write into the full line fails within its budget, the link drops the host
// connection as after any failed write, and a stop request still ends the
// service while the line stands still.
TEST(AgentEndToEnd, AWriteToAStalledLineFailsAndTheServiceStillStops) {
  TPadLine pad;
  TRunningAgent agent(pad.SlavePath(), nullptr);
  ASSERT_TRUE(pad.AcceptReset(kWaitMs));
  TTcpListener host;
  ASSERT_TRUE(pad.Send(ConnectTo(1, host.Port()), kWaitMs));
  const int flood = host.Accept(kWaitMs);
  ASSERT_GE(flood, 0);
  ExpectMessage(pad, MSG_STATUS, 1);

  fcntl(flood, F_SETFL, fcntl(flood, F_GETFL) | O_NONBLOCK);
  const std::string chunk(65536, 'h');
  // Keeps the host's socket full; true once the agent has dropped it.
  auto dropped = [&] {
    const ssize_t n = send(flood, chunk.data(), chunk.size(), MSG_NOSIGNAL);
    return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK;
  };
  ASSERT_FALSE(dropped());
  ExpectMessage(pad, MSG_DATA_TO_CLIENT, 1);
  // From here on the pad reads nothing but acknowledges the agent's frames
  // in order as if it did, so the agent goes on writing into a line that no
  // longer moves. The acknowledgements cover far more than the line holds.
  uint8_t sequence = pad.LastDataSequence();
  constexpr int kAcks = 400;
  bool gone = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousWaitMs);
  for (int acks = 0; !gone && std::chrono::steady_clock::now() < deadline; ++acks) {
    if (acks < kAcks) pad.WriteAck(++sequence);
    gone = dropped();
    usleep(5000);
  }
  close(flood);
  EXPECT_TRUE(gone) << "the agent still waits for the line";

  kill(static_cast<pid_t>(agent.process->Id()), SIGTERM);
  EXPECT_TRUE(agent.process->WaitForExit("", kWaitMs)) << "the stop request is not honoured";
  EXPECT_EQ(0, agent.process->ExitCode());
}

}  // namespace
