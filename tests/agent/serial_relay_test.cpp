#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include "../platform/files_testutil.h"
#include "../platform/socket_testutil.h"
#include "../platform/ready_network.h"
#include "agent_trace_file.h"
#include "host_connection_table.h"
#include "net/socket_interface.h"
#include "serial_network_interface.h"
#include "serial_testutil.h"

// The agent serving the far end of the cable: its requests become
// connections of the PC's real network interface on 127.0.0.1.

namespace {

std::string Text(const TSerialMessage& message) { return message.data.ToString(); }

class SerialRelay : public ::testing::Test {
 protected:
  void SetUp() override {
    environment.Put(DEVICE_RS232, 1, &ports);
    environment.Put(DEVICE_ETHERNET, 0, pc.get());
    pc->Open();
    ASSERT_EQ(0, agent.OpenLink(false).GetCode());
    // The far end hears the agent's reset and acknowledges it.
    ASSERT_TRUE(Hear(MSG_RESET, 0));
    for (int i = 0; i < 4; ++i) Turn();
  }
  void TearDown() override { pc->Close(); }

  // One relay loop turn of the agent, and the far end reading what it sent.
  void Turn() {
    agent.Poll();
    for (int i = 0; i < 4; ++i) {
      for (auto& message : pinpad.Receive()) heard.push_back(message);
    }
  }
  // Turns until the far end has heard a message of the type for the id.
  bool Hear(uint8_t type, uint32_t id, TSerialMessage* found = nullptr) {
    return PollUntil([&] {
      Turn();
      for (size_t i = 0; i < heard.size(); ++i) {
        if (heard[i].type == type && heard[i].id == id) {
          if (found) *found = heard[i];
          heard.erase(heard.begin(), heard.begin() + static_cast<std::ptrdiff_t>(i) + 1);
          return true;
        }
      }
      return false;
    });
  }
  void Ask(uint8_t type, uint32_t id, uint16_t port = 0, const std::string& data = std::string()) {
    TSerialMessage message = Message(type, id);
    message.address = kLoopback;
    message.port = port;
    message.data = TByteBuffer(data);
    pinpad.Send(message);
  }
  // What the host side of a connection reads while the agent relays.
  std::string ReadAll(IConnection& connection, size_t wanted) {
    std::string text;
    char buffer[8192];
    PollUntil([&] {
      Turn();
      const int32_t n = connection.Receive(buffer, sizeof buffer);
      if (n > 0) text.append(buffer, static_cast<size_t>(n));
      return text.size() >= wanted || n < 0;
    });
    return text;
  }
  bool PeerHasClosed(IConnection& connection) {
    char byte;
    return PollUntil([&] {
      Turn();
      return connection.Receive(&byte, 1) < 0;
    });
  }
  // A host listening on a free port of 127.0.0.1.
  std::unique_ptr<IConnection> Host(uint16_t* port) { return ListenOnFreePort(pc.get(), port); }
  // A host the far end has connected to under the id, the success heard;
  // null when that did not come about.
  std::unique_ptr<IConnection> ConnectedHost(uint32_t id) {
    uint16_t port = 0;
    auto host = Host(&port);
    if (!host) return nullptr;
    Ask(MSG_CONNECT, id, port);
    TSerialMessage status;
    if (!Hear(MSG_STATUS, id, &status) || status.code != 0) return nullptr;
    if (!PollUntil([&] { return host->GetState() == CONNECTION_CONNECTED; })) return nullptr;
    return host;
  }

  uint32_t now = 0;
  std::shared_ptr<SerialLine> line = std::make_shared<SerialLine>();
  FakeSerialPorts ports{line, 0};
  std::unique_ptr<INetworkInterface> pc{NewPlatformEthernetInterface(nullptr)};
  FakeSerialEnvironment environment{now};
  TSerialNetworkInterface agent{1, environment};
  SerialFarEnd pinpad{line, environment};
  std::vector<TSerialMessage> heard;
};

TEST_F(SerialRelay, ConnectReportsSuccessRelaysBothWaysAndReportsTheHostsClose) {
  uint16_t port = 0;
  auto host = Host(&port);
  ASSERT_TRUE(host);
  Ask(MSG_CONNECT, 7, port);
  TSerialMessage status;
  ASSERT_TRUE(Hear(MSG_STATUS, 7, &status));
  EXPECT_EQ(0, status.code);
  ASSERT_TRUE(PollUntil([&] { return host->GetState() == CONNECTION_CONNECTED; }));

  Ask(MSG_DATA_TO_HOST, 7, 0, "abc");
  Ask(MSG_DATA_TO_HOST, 7, 0, "def");
  EXPECT_EQ("abcdef", ReadAll(*host, 6)) << "in order, nothing lost";
  for (int i = 0; i < 50; ++i) Turn();

  ASSERT_EQ(5, host->Send("hello", 5));
  TSerialMessage data;
  ASSERT_TRUE(Hear(MSG_DATA_TO_CLIENT, 7, &data));
  EXPECT_EQ("hello", Text(data));

  host.reset();
  EXPECT_TRUE(Hear(MSG_CLOSED, 7));
  // The id is forgotten: data for it is answered as for any unknown id.
  Ask(MSG_DATA_TO_HOST, 7, 0, "late");
  EXPECT_TRUE(Hear(MSG_CLOSED, 7));
}

TEST_F(SerialRelay, FarEndCloseIsSilentAndUnknownIdsAreAnsweredClosed) {
  uint16_t port = 0;
  auto host = Host(&port);
  ASSERT_TRUE(host);
  Ask(MSG_CONNECT, 7, port);
  ASSERT_TRUE(Hear(MSG_STATUS, 7));

  Ask(MSG_CLOSE, 7);
  Ask(MSG_CLOSE, 99);  // never seen: ignored
  EXPECT_TRUE(PeerHasClosed(*host));
  Ask(MSG_DATA_TO_HOST, 5, 0, "x");
  EXPECT_TRUE(Hear(MSG_CLOSED, 5));
  EXPECT_TRUE(heard.empty()) << "no answer to the closes";
}

TEST_F(SerialRelay, FailuresToConnectAreReportedAsClosedOrWithTheirCode) {
  uint16_t closedPort = 0;
  {
    std::unique_ptr<INetworkInterface> elsewhere(NewPlatformEthernetInterface(nullptr));
    elsewhere->Open();  // Close ends a Winsock start of its own
    ASSERT_TRUE(ListenOnFreePort(elsewhere.get(), &closedPort));
    elsewhere->Close();  // the port is free again and nobody listens on it
  }
  Ask(MSG_CONNECT, 3, closedPort);
  ASSERT_TRUE(Hear(MSG_CLOSED, 3));
  EXPECT_TRUE(heard.empty()) << "a connect that fails on the way is not a status";

  environment.devices.erase(DEVICE_ETHERNET * 0x10000);
  Ask(MSG_CONNECT, 4, closedPort);
  TSerialMessage status;
  ASSERT_TRUE(Hear(MSG_STATUS, 4, &status));
  EXPECT_EQ(20011, status.code);
}

TEST_F(SerialRelay, BulkFromTheHostArrivesWholeInMessagesOfAtMost4096Bytes) {
  auto host = ConnectedHost(2);
  ASSERT_TRUE(host);

  std::string sent(10000, '\0');
  for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 + i / 256);
  ASSERT_EQ(10000, host->Send(sent.data(), static_cast<uint32_t>(sent.size())));
  std::string received;
  ASSERT_TRUE(PollUntil([&] {
    Turn();
    for (const auto& message : heard) {
      EXPECT_EQ(MSG_DATA_TO_CLIENT, message.type);
      EXPECT_LE(message.data.Length(), 4096u);
      received += Text(message);
    }
    heard.clear();
    return received.size() >= sent.size();
  }));
  EXPECT_TRUE(received == sent);
}

TEST_F(SerialRelay, ResetClosesEveryHostConnectionAndNewRequestsReplaceOldIds) {
  uint16_t port = 0;
  auto first = Host(&port);
  ASSERT_TRUE(first);
  Ask(MSG_CONNECT, 7, port);
  ASSERT_TRUE(Hear(MSG_STATUS, 7));
  ASSERT_TRUE(PollUntil([&] { return first->GetState() == CONNECTION_CONNECTED; }));

  // The same id again: the old socket goes without a word, the new one is reported.
  IConnection* accepting = nullptr;
  ASSERT_EQ(0, pc->Listen(port, &accepting).GetCode());
  std::unique_ptr<IConnection> second(accepting);
  Ask(MSG_CONNECT, 7, port);
  ASSERT_TRUE(Hear(MSG_STATUS, 7));
  EXPECT_TRUE(PeerHasClosed(*first));
  ASSERT_TRUE(PollUntil([&] { return second->GetState() == CONNECTION_CONNECTED; }));

  Ask(MSG_RESET, 0);
  EXPECT_TRUE(PeerHasClosed(*second));
  for (int i = 0; i < 20; ++i) Turn();
  EXPECT_TRUE(heard.empty()) << "neither replacement nor reset is answered";
  Ask(MSG_DATA_TO_HOST, 7, 0, "gone");
  EXPECT_TRUE(Hear(MSG_CLOSED, 7));
}

// The far end's link gave up half-way through a message while a host was
// flooding it, and the far end opened its link anew. The rest of that
// message never comes and must not swallow the new link's reset and
// requests; what the agent still had queued for the old link must not reach
// the new one ahead of the answers it asks for.
TEST_F(SerialRelay, AFarEndThatOpensItsLinkAnewGetsAFreshStreamBothWays) {
  uint16_t port = 0;
  auto flooding = Host(&port);
  ASSERT_TRUE(flooding);
  Ask(MSG_CONNECT, 7, port);
  ASSERT_TRUE(Hear(MSG_STATUS, 7));
  ASSERT_TRUE(PollUntil([&] { return flooding->GetState() == CONNECTION_CONNECTED; }));
  // Well above what the agent keeps queued for the link.
  const std::string flood(4 * THostConnectionTable::kMaxBacklog, 'h');
  size_t sent = 0;
  ASSERT_TRUE(PollUntil([&] {
    const int32_t n = flooding->Send(flood.data() + sent, static_cast<uint32_t>(flood.size() - sent));
    if (n > 0) sent += static_cast<size_t>(n);
    agent.Poll();  // the far end no longer reads: the flood stays queued
    return sent == flood.size();
  }));

  TSerialMessage unfinished = Message(MSG_DATA_TO_HOST, 7);
  unfinished.data = TByteBuffer(std::string(600, 'p'));
  pinpad.Link().Transmit(unfinished.Serialize().Sub(0, 200));
  for (int i = 0; i < 10; ++i) agent.Poll();

  line->FromAgent().clear();  // a far end that restarts loses what was on the wire
  SerialFarEnd reopened(line, environment);
  reopened.Link().SendOpening(Message(MSG_RESET, 0).Serialize());
  uint16_t port2 = 0;
  auto host2 = Host(&port2);
  ASSERT_TRUE(host2);
  TSerialMessage connect = Message(MSG_CONNECT, 8);
  connect.address = kLoopback;
  connect.port = port2;
  reopened.Send(connect);
  std::vector<TSerialMessage> answers;
  bool answered = false;
  for (int turn = 0; turn < 3000 && !answered; ++turn) {
    agent.Poll();
    for (auto& message : reopened.Receive()) {
      answers.push_back(message);
      answered = answered || (message.type == MSG_STATUS && message.id == 8);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(answered) << "the new link's connect was never answered";
  for (const auto& message : answers) EXPECT_EQ(8u, message.id) << "the old link's messages reached the new one";
  EXPECT_TRUE(PeerHasClosed(*flooding));
}

// The PIN pad's acknowledgement of a frame is lost on the line, and the agent
// gives the frame up with the host data queued behind it. A connection whose
// data went is closed both ways; and when the frame ended or began in the
// middle of a message, which the PIN pad may hold half of, the agent opens
// its link anew rather than let its next message continue that half.
TEST_F(SerialRelay, DataTheLinkGivesUpClosesItsConnectionAndLeavesNoHalfMessage) {
  // A PIN pad that knows the reset that opens a link.
  pinpad.Link().SendOpening(Message(MSG_RESET, 0).Serialize());
  for (int i = 0; i < 4; ++i) Turn();
  heard.clear();
  auto host = ConnectedHost(7);
  ASSERT_TRUE(host);
  auto turnAWhile = [&] {
    for (int i = 0; i < 20; ++i) {
      Turn();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };

  // The last frame of a short answer goes unacknowledged; the next answer
  // waits behind it and goes with it.
  ASSERT_EQ(5, host->Send("first", 5));
  ASSERT_TRUE(Hear(MSG_DATA_TO_CLIENT, 7));
  line->ToAgent().clear();
  ASSERT_EQ(4, host->Send("next", 4));
  turnAWhile();
  now += TSerialLink::kAckTimeout + 100;
  EXPECT_TRUE(Hear(MSG_CLOSED, 7)) << "the PIN pad waits for an answer that never comes";
  EXPECT_TRUE(PeerHasClosed(*host));
  for (const auto& message : heard) EXPECT_NE(MSG_DATA_TO_CLIENT, message.type);

  // An acknowledgement lost in the middle of a long answer.
  auto second = ConnectedHost(8);
  ASSERT_TRUE(second);
  const std::string answer(3000, 'a');
  ASSERT_EQ(3000, second->Send(answer.data(), 3000));
  for (int frames = 0; frames < 3;) {
    agent.Poll();
    if (!line->FromAgent().empty()) {
      pinpad.Receive();
      ++frames;
    }
  }
  line->ToAgent().clear();
  now += TSerialLink::kAckTimeout + 100;
  heard.clear();
  EXPECT_TRUE(Hear(MSG_RESET, 0)) << "the PIN pad is left with half a message";
  EXPECT_TRUE(PeerHasClosed(*second));
  for (const auto& message : heard) EXPECT_EQ(MSG_NONE, message.type) << "after the reset: " << int{message.type};
  EXPECT_TRUE(ConnectedHost(9)) << "the link opened anew carries new connections";
}

// The line stalls while the PIN pad uploads: its link gives up the rest of
// the message it was sending and goes on with the next. The host must get
// neither the cut message nor the next one as its continuation.
TEST_F(SerialRelay, AMessageTheFarEndsLinkGaveUpInTheMiddleNeverReachesTheHost) {
  auto host = ConnectedHost(7);
  ASSERT_TRUE(host);

  Ask(MSG_DATA_TO_HOST, 7, 0, std::string(600, 'p'));
  agent.Poll();       // the first frame, acknowledged
  pinpad.Receive();   // the second goes out
  line->ToAgent().clear();
  now += TSerialLink::kAckTimeout + 100;
  pinpad.Receive();
  EXPECT_TRUE(pinpad.Link().IsDown()) << "the PIN pad's link has not given up";
  Ask(MSG_DATA_TO_HOST, 7, 0, std::string(400, 'n'));
  EXPECT_TRUE(Hear(MSG_CLOSED, 7));
  EXPECT_EQ("", ReadAll(*host, 1)) << "bytes the PIN pad never sent in this order reached the host";
}

TEST_F(SerialRelay, ListenReportsThePeerThenRelaysLikeAConnect) {
  uint16_t port = 0;
  // Finds a free port; the interface keeps the listening socket for the agent.
  ASSERT_TRUE(Host(&port));
  ASSERT_GE(port, 4096);
  Ask(MSG_LISTEN, 11, port);
  for (int i = 0; i < 20; ++i) Turn();
  EXPECT_TRUE(heard.empty()) << "nothing to report before a peer comes";

  auto peer = ConnectTo(pc.get(), port);
  ASSERT_TRUE(peer);
  TSerialMessage accepted;
  ASSERT_TRUE(Hear(MSG_ACCEPTED, 11, &accepted));
  // The address as the socket layer keeps it: 127.0.0.1 with its first
  // octet in the lowest byte.
  const uint8_t loopbackInMemory[4] = {127, 0, 0, 1};
  uint32_t expected = 0;
  std::memcpy(&expected, loopbackInMemory, 4);
  EXPECT_EQ(expected, accepted.address);
  EXPECT_EQ(0, accepted.port);

  ASSERT_TRUE(PollUntil([&] { return peer->GetState() == CONNECTION_CONNECTED; }));
  ASSERT_EQ(4, peer->Send("ping", 4));
  TSerialMessage data;
  ASSERT_TRUE(Hear(MSG_DATA_TO_CLIENT, 11, &data));
  EXPECT_EQ("ping", Text(data));
  Ask(MSG_DATA_TO_HOST, 11, 0, "pong");
  EXPECT_EQ("pong", ReadAll(*peer, 4));
}

// What an engineer reads of one session: at level 1 its events, each on a
// line of its own with a millisecond timestamp; at level 2 also the bytes of
// every frame, dumped as the platform's logs dump data; at level 0 no file.
TEST_F(SerialRelay, TraceTellsTheSessionAtItsLevel) {
  for (int level : {0, 1, 2}) {
    SCOPED_TRACE(level);
    TFilesTempDir folder;
    TAgentTraceFile trace(&folder.Files(), nullptr);
    trace.SetLevel(level);
    agent.Close();
    agent.SetTrace(trace);
    ASSERT_EQ(0, agent.OpenLink(false).GetCode());
    ASSERT_TRUE(Hear(MSG_RESET, 0));

    uint16_t port = 0;
    auto host = Host(&port);
    ASSERT_TRUE(host);
    Ask(MSG_CONNECT, 7, port);
    ASSERT_TRUE(Hear(MSG_STATUS, 7));
    ASSERT_TRUE(PollUntil([&] { return host->GetState() == CONNECTION_CONNECTED; }));
    Ask(MSG_DATA_TO_HOST, 7, 0, "abc");
    EXPECT_EQ("abc", ReadAll(*host, 3));
    ASSERT_EQ(5, host->Send("hello", 5));
    ASSERT_TRUE(Hear(MSG_DATA_TO_CLIENT, 7));
    // A frame spoilt on the line: its first payload byte changed after the
    // CRC was made.
    Bytes spoilt = LineFrame(0x41, 200, {'x', 'y', 'z'});
    spoilt[4] ^= 1;
    line->PutToAgent(spoilt);
    for (int i = 0; i < 10; ++i) Turn();
    host.reset();
    ASSERT_TRUE(Hear(MSG_CLOSED, 7));
    // A host nobody listens on.
    uint16_t closedPort = 0;
    {
      std::unique_ptr<INetworkInterface> elsewhere(NewPlatformEthernetInterface(nullptr));
      elsewhere->Open();
      ASSERT_TRUE(ListenOnFreePort(elsewhere.get(), &closedPort));
      elsewhere->Close();
    }
    Ask(MSG_CONNECT, 8, closedPort);
    ASSERT_TRUE(Hear(MSG_CLOSED, 8));
    agent.Close();
    agent.SetTrace(NullAgentTrace());

    if (level == 0) {
      EXPECT_TRUE(folder.List().empty());
      continue;
    }
    const std::string text = folder.Read("agent-trace.txt");
    EXPECT_TRUE(FoundInOrder(
        text, {"trace on, level " + std::to_string(level), "COM1 opened", "reset sent", "link up",
               "connection 7: connect to 127.0.0.1:" + std::to_string(port) + " asked",
               "connection 7: status 0 (connected)", "NAK sent: frame 200 came with a bad CRC",
               "connection 7: closed by the host (result 20003); 3 bytes to the host, 5 bytes to the PIN pad",
               "connection 8: the connect failed (result 20001"}));
    // Every entry, and every dump row after its first, on a line of its own.
    size_t lineStart = 0;
    for (size_t end; (end = text.find("\r\n", lineStart)) != std::string::npos; lineStart = end + 2) {
      const std::string entry = text.substr(lineStart, end - lineStart);
      const bool stamped = entry.size() > 19 && entry[2] == '.' && entry[5] == ' ' && entry[8] == ':' &&
                           entry[11] == ':' && entry[14] == '.' && entry[18] == ' ';
      const bool dumpRow = entry.compare(0, 20, std::string(19, ' ') + ">") == 0 ||
                           entry.compare(0, 20, std::string(19, ' ') + "<") == 0;
      EXPECT_TRUE(stamped || (level == 2 && dumpRow)) << entry;
    }
    EXPECT_EQ(text.size(), lineStart) << "the file ends with a whole line";
    // The reset frame going out, and the spoilt one coming in, as hex and
    // characters.
    const std::string resetFrame = ">41 01 07 00 05 09 00 00 00 00 3B 20 ";
    const std::string spoiltFrame = "<41 C8 03 79 79 7A ";
    EXPECT_EQ(level == 2, text.find(resetFrame) != std::string::npos) << text;
    EXPECT_EQ(level == 2, text.find(spoiltFrame) != std::string::npos) << text;
    EXPECT_EQ(level == 2, text.find('|') != std::string::npos);
  }
}

// The host table on its own, with a sender whose line never drains and a
// host socket that takes only a few bytes at a time.

class SlowSender : public ISerialMessageSender {
 public:
  bool SendMessage(const TSerialMessage& message) override {
    sent.push_back(message);
    backlog += message.Serialize().Length();
    return true;
  }
  size_t GetBacklog() const override { return backlog; }
  std::vector<TSerialMessage> sent;
  size_t backlog = 0;
};

class TrickleConnection : public IConnection {
 public:
  // The host stops taking once it has capacity bytes.
  explicit TrickleConnection(std::string& written, const size_t& capacity = kUnbounded)
      : written_(written), capacity_(capacity) {}
  int32_t Send(const void* data, uint32_t length) override {
    const size_t room = capacity_ > written_.size() ? capacity_ - written_.size() : 0;
    const uint32_t taken = static_cast<uint32_t>(std::min<size_t>({length, 3, room}));
    written_.append(static_cast<const char*>(data), taken);
    return static_cast<int32_t>(taken);
  }
  int32_t Receive(void*, uint32_t) override { return 0; }
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return CONNECTION_CONNECTED; }
  TResult GetLastResult() override { return TResult(); }

  static constexpr size_t kUnbounded = SIZE_MAX;

 private:
  std::string& written_;
  const size_t& capacity_;
};

class TrickleNetwork : public TReadyNetworkDouble {
 public:
  TResult Connect(const TNetAddress&, IConnection** out) override {
    *out = new TrickleConnection(written, capacity);
    return TResult();
  }
  TResult Listen(uint16_t, IConnection**) override { return TResult(RESULT_SOCKET_LISTEN_FAILED); }
  std::string written;
  size_t capacity = TrickleConnection::kUnbounded;
};

// Data bytes of the id in the messages sent from the index on.
size_t RelayedBytes(const std::vector<TSerialMessage>& sent, uint32_t id, size_t from = 0) {
  size_t bytes = 0;
  for (size_t i = from; i < sent.size(); ++i) {
    if (sent[i].type == MSG_DATA_TO_CLIENT && sent[i].id == id) bytes += sent[i].data.Length();
  }
  return bytes;
}

TEST(SerialHostTable, FloodingHostIsReadOnlyAsFastAsTheLineDrainsAndLeavesOthersTheirShare) {
  uint32_t now = 0;
  FakeSerialEnvironment environment(now);
  std::unique_ptr<INetworkInterface> pc(NewPlatformEthernetInterface(nullptr));
  pc->Open();
  environment.Put(DEVICE_ETHERNET, 0, pc.get());
  SlowSender sender;
  THostConnectionTable table(environment, sender);

  // Host 1 floods; host 2, on a higher id, has a short answer to give.
  std::unique_ptr<IConnection> hosts[2];
  for (uint32_t id : {1u, 2u}) {
    uint16_t port = 0;
    hosts[id - 1] = ListenOnFreePort(pc.get(), &port);
    ASSERT_TRUE(hosts[id - 1]);
    TSerialMessage connect = Message(MSG_CONNECT, id);
    connect.address = kLoopback;
    connect.port = port;
    table.Open(connect);
  }
  IConnection& flood = *hosts[0];
  IConnection& answer = *hosts[1];
  ASSERT_TRUE(PollUntil([&] {
    table.Service();
    return flood.GetState() == CONNECTION_CONNECTED && answer.GetState() == CONNECTION_CONNECTED &&
           sender.sent.size() == 2;
  }));

  const std::string chunk(65536, 'f');
  size_t written = 0;
  auto fill = [&] {
    for (int i = 0; i < 8; ++i) {
      const int32_t n = flood.Send(chunk.data(), static_cast<uint32_t>(chunk.size()));
      if (n > 0) written += static_cast<size_t>(n);
    }
  };
  fill();
  ASSERT_GT(written, THostConnectionTable::kMaxBacklog * 2);
  for (int i = 0; i < 200; ++i) table.Service();
  EXPECT_LT(sender.backlog, THostConnectionTable::kMaxBacklog + 2 * THostConnectionTable::kMaxChunk);

  // While host 1 keeps its socket full and the line carries 1 KiB a pass,
  // host 2's few bytes go out after at most a backlog's worth of host 1's,
  // however much host 1 has to send.
  ASSERT_EQ(11, answer.Send("for the pad", 11));
  const size_t answeredFrom = sender.sent.size();
  const size_t floodBound = THostConnectionTable::kMaxBacklog + THostConnectionTable::kMaxChunk;
  ASSERT_TRUE(PollUntil([&] {
    sender.backlog -= std::min<size_t>(sender.backlog, 1024);
    fill();
    table.Service();
    return RelayedBytes(sender.sent, 2, answeredFrom) != 0 ||
           RelayedBytes(sender.sent, 1, answeredFrom) > 8 * floodBound;
  }));
  size_t floodFirst = 0;
  for (size_t i = answeredFrom; i < sender.sent.size() && sender.sent[i].id != 2; ++i) {
    floodFirst += sender.sent[i].data.Length();
  }
  EXPECT_LE(floodFirst, floodBound) << "bytes of the flood relayed ahead of the answer";

  ASSERT_TRUE(PollUntil([&] {
    sender.backlog = 0;  // the line has carried everything
    table.Service();
    return RelayedBytes(sender.sent, 1) >= written;
  }));
  EXPECT_EQ(written, RelayedBytes(sender.sent, 1));
  EXPECT_EQ(11u, RelayedBytes(sender.sent, 2));
  pc->Close();
}

// Data a host socket cannot take at once follows in order, also when the
// PIN pad closes right after sending: what came before the close still
// reaches the host, within a bound of time, and what does not is traced.
// Connections count, closing ones among them, up to a bound past which the
// PIN pad is told there is no socket.
TEST(SerialHostTable, DataTheSocketCannotTakeAtOnceFollowsInOrderAlsoPastAClose) {
  uint32_t now = 0;
  FakeSerialEnvironment environment(now);
  TrickleNetwork network;
  environment.Put(DEVICE_ETHERNET, 0, &network);
  SlowSender sender;
  TFilesTempDir folder;
  TAgentTraceFile trace(&folder.Files(), nullptr);
  trace.SetLevel(1);
  THostConnectionTable table(environment, sender, trace);
  auto send = [&](uint32_t id, const std::string& text) {
    TSerialMessage data = Message(MSG_DATA_TO_HOST, id);
    data.data = TByteBuffer(text);
    table.Deliver(data);
  };

  table.Open(Message(MSG_CONNECT, 1));
  for (const char* part : {"first-", "second-", "third"}) send(1, part);
  table.Close(1);
  EXPECT_FALSE(table.Has(1)) << "the id is free at once";
  for (int i = 0; i < 10; ++i) table.Service();
  EXPECT_EQ("first-second-third", network.written);

  network.capacity = network.written.size() + 4;
  table.Open(Message(MSG_CONNECT, 2));
  send(2, "0123456789");
  table.Close(2);
  table.Service();
  now += THostConnectionTable::kCloseFlushTime;
  table.Service();
  EXPECT_TRUE(FoundInOrder(folder.Read("agent-trace.txt"),
                           {"connection 1: closed by the PIN pad; 18 bytes to the host",
                            "connection 2: 6 bytes of the PIN pad's data did not reach the host",
                            "connection 2: closed by the PIN pad; the host did not take the rest of its data in time; "
                            "4 bytes to the host"}));

  for (uint32_t id = 100; id < 100 + THostConnectionTable::kMaxConnections; ++id) {
    table.Open(Message(MSG_CONNECT, id));
  }
  sender.sent.clear();
  table.Open(Message(MSG_CONNECT, 99));
  ASSERT_EQ(1u, sender.sent.size());
  EXPECT_EQ(MSG_STATUS, sender.sent[0].type);
  EXPECT_EQ(RESULT_SOCKET_NO_SOCKET, sender.sent[0].code);
  table.Open(Message(MSG_CONNECT, 100));
  EXPECT_TRUE(table.Has(100)) << "a replacing request is no new connection";
}

// A host connection that notes, each time the agent looks at it, whether the
// agent has already answered on the line.
class LineWatchingConnection : public TrickleConnection {
 public:
  LineWatchingConnection(std::string& written, SerialLine& line, std::vector<bool>& looks)
      : TrickleConnection(written), line_(line), looks_(looks) {}
  int32_t GetState() override {
    looks_.push_back(!line_.FromAgent().empty());
    return CONNECTION_CONNECTED;
  }

 private:
  SerialLine& line_;
  std::vector<bool>& looks_;
};

class LineWatchingNetwork : public TrickleNetwork {
 public:
  explicit LineWatchingNetwork(SerialLine& line) : line_(line) {}
  TResult Connect(const TNetAddress&, IConnection** out) override {
    *out = new LineWatchingConnection(written, line_, looks);
    return TResult();
  }
  std::vector<bool> looks;

 private:
  SerialLine& line_;
};

// A frame that has come is acknowledged before the agent turns to its host
// connections, so that the far end's next frame never waits for the sockets.
TEST(SerialSession, AnswersTheLineBeforeLookingAtTheHosts) {
  uint32_t now = 0;
  auto line = std::make_shared<SerialLine>();
  FakeSerialPorts ports(line, 0);
  FakeSerialEnvironment environment(now);
  LineWatchingNetwork network(*line);
  environment.Put(DEVICE_RS232, 1, &ports);
  environment.Put(DEVICE_ETHERNET, 0, &network);
  TSerialNetworkInterface agent(1, environment);
  SerialFarEnd pinpad(line, environment);
  ASSERT_EQ(0, agent.OpenLink(false).GetCode());
  pinpad.Receive();  // hears the reset and acknowledges it
  pinpad.Send(Message(MSG_CONNECT, 1));
  for (int i = 0; i < 6; ++i) {
    agent.Poll();
    pinpad.Receive();
  }
  ASSERT_FALSE(network.looks.empty()) << "no host connection was made";
  ASSERT_TRUE(line->FromAgent().empty() && line->ToAgent().empty()) << "the line has not settled";

  TSerialMessage data = Message(MSG_DATA_TO_HOST, 1);
  data.data = TByteBuffer(std::string("x"));
  ASSERT_TRUE(pinpad.Send(data));
  network.looks.clear();
  agent.Poll();
  ASSERT_FALSE(network.looks.empty());
  EXPECT_TRUE(network.looks.front()) << "the host was looked at before the frame was acknowledged";
  EXPECT_EQ("x", network.written);
}

}  // namespace
