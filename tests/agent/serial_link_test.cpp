#include <gtest/gtest.h>
#include "../platform/files_testutil.h"
#include "agent_trace_file.h"
#include "serial_link.h"
#include "serial_network_interface.h"
#include "serial_testutil.h"

namespace {

constexpr uint8_t kData = 0x41, kAck = 0x06, kNak = 0x15;

// A link on the agent's side of the cable; the test plays the far end byte
// by byte.
struct LinkOnLine {
  uint32_t now = 0;
  std::shared_ptr<SerialLine> line = std::make_shared<SerialLine>();
  FakeSerialEnvironment environment{now};
  // Silent until a test sets its level.
  TFilesTempDir traceFolder;
  TAgentTraceFile trace{&traceFolder.Files(), nullptr};
  TSerialLink link{new FakeSerialPort(line, 0), environment, trace};

  std::vector<Bytes> SentFrames() { return SplitFrames(line->TakeFromAgent()); }
  void Answer(uint8_t kind, uint8_t sequence) {
    line->PutToAgent(LineFrame(kind, sequence, {}));
    link.Poll();
  }
};

Bytes Payload(const Bytes& frame) { return Bytes(frame.begin() + 3, frame.end() - 2); }

TEST(SerialLinkOpen, SendsTheResetOnceAndComesUpOnItsAcknowledgement) {
  uint32_t now = 0;
  auto line = std::make_shared<SerialLine>();
  FakeSerialPorts ports(line, 0);
  FakeSerialEnvironment environment(now);
  environment.Put(DEVICE_RS232, 3, &ports);
  TSerialNetworkInterface network(3, environment);

  environment.whenIdle = [&] {
    if (now == 1) {
      EXPECT_EQ((Bytes{0xC0, 0x41, 0x01, 0x07, 0x00, 0x05, 0x09, 0x00, 0x00, 0x00, 0x00, 0x3B, 0x20, 0xC0}),
                line->TakeFromAgent());
      line->PutToAgent({0xC0, 0x06, 0x01, 0x00, 0x4D, 0x0D, 0xC0});
    }
  };
  EXPECT_EQ(0, network.Open().GetCode());
  EXPECT_EQ(NETWORK_READY, network.GetState());
  ASSERT_EQ(1u, ports.opened.size());
  const TRS232Settings& settings = ports.opened[0];
  EXPECT_EQ(3, settings.port);
  EXPECT_EQ(8, settings.byteSize);
  EXPECT_EQ('N', settings.parity);
  EXPECT_EQ(1, settings.stopBits);
  EXPECT_EQ(115200, settings.baudRate);
  EXPECT_LT(now, 10u) << "the wait ends with the acknowledgement";
  EXPECT_TRUE(line->FromAgent().empty());

  network.Close();
  EXPECT_TRUE(line->closed[0]) << "closing the interface closes the COM port";
  EXPECT_EQ(NETWORK_FAILED, network.GetState());
}

TEST(SerialLinkOpen, RefusedResetIsNotRepeatedAndTheWaitGivesUpAfterThreeSeconds) {
  uint32_t now = 0;
  auto line = std::make_shared<SerialLine>();
  FakeSerialPorts ports(line, 0);
  FakeSerialEnvironment environment(now);
  environment.Put(DEVICE_RS232, 3, &ports);
  TSerialNetworkInterface network(3, environment);

  environment.whenIdle = [&] {
    if (now == 1) line->PutToAgent({0xC0, 0x15, 0x01, 0x00, 0x57, 0x3E, 0xC0});
  };
  EXPECT_EQ(20025, network.Open().GetCode());
  EXPECT_FALSE(network.HasSession());
  EXPECT_EQ(1u, SplitFrames(line->TakeFromAgent()).size()) << "the reset goes out once";
  EXPECT_GE(now, 3000u);
  EXPECT_TRUE(line->closed[0]);

  // Without waiting the session stays, though the far end has not answered.
  EXPECT_EQ(0, network.OpenLink(false).GetCode());
  EXPECT_TRUE(network.HasSession());

  // No serial port device, or a port that does not open: no session.
  TSerialNetworkInterface elsewhere(4, environment);
  EXPECT_EQ(20025, elsewhere.OpenLink(false).GetCode());
  ports.available = false;
  network.Close();
  EXPECT_EQ(20025, network.OpenLink(false).GetCode());
  EXPECT_FALSE(network.HasSession());
}

TEST(SerialLink, SendsOneFrameOfAtMost255BytesAtATimeInSequence) {
  LinkOnLine side;
  Bytes queued(600);
  for (size_t i = 0; i < queued.size(); ++i) queued[i] = static_cast<uint8_t>(i);
  EXPECT_TRUE(side.link.Transmit(TByteBuffer(queued.size(), queued.data())));

  Bytes carried;
  std::vector<size_t> sizes;
  for (uint8_t sequence = 1; sequence <= 3; ++sequence) {
    auto frames = side.SentFrames();
    ASSERT_EQ(1u, frames.size()) << "one frame in flight, frame " << int{sequence};
    EXPECT_EQ(kData, frames[0][0]);
    EXPECT_EQ(sequence, frames[0][1]);
    sizes.push_back(frames[0][2]);
    const Bytes payload = Payload(frames[0]);
    carried.insert(carried.end(), payload.begin(), payload.end());
    side.link.Poll();
    EXPECT_TRUE(side.SentFrames().empty()) << "nothing more before the acknowledgement";
    side.Answer(kAck, sequence);
  }
  EXPECT_EQ((std::vector<size_t>{255, 255, 90}), sizes);
  EXPECT_EQ(queued, carried);
  EXPECT_EQ(0u, side.link.GetBacklog());
}

// The trace tells each refusal, each resend, the giving up and the return.
TEST(SerialLink, ThreeRefusalsGiveTheFrameUpAndTakeTheLinkDown) {
  LinkOnLine side;
  side.trace.SetLevel(1);
  side.link.Transmit(TByteBuffer(std::string(300, 'x')));
  side.Answer(kNak, 9);  // not the frame in flight
  side.Answer(kNak, 1);
  side.Answer(kNak, 1);
  auto frames = side.SentFrames();
  ASSERT_EQ(3u, frames.size());
  EXPECT_EQ(frames[0], frames[2]) << "the same frame each time";
  EXPECT_FALSE(side.link.IsDown());

  side.Answer(kNak, 1);
  EXPECT_TRUE(side.link.IsDown());
  EXPECT_EQ(0u, side.link.GetBacklog()) << "the queue behind it is dropped too";
  EXPECT_TRUE(side.SentFrames().empty());

  // A link that is down still sends, with the next number, and comes back
  // with the next acknowledgement.
  EXPECT_FALSE(side.link.Transmit(TByteBuffer(std::string("y"))));
  frames = side.SentFrames();
  ASSERT_EQ(1u, frames.size());
  EXPECT_EQ(2, frames[0][1]);
  side.Answer(kAck, 2);
  EXPECT_FALSE(side.link.IsDown());
  EXPECT_TRUE(FoundInOrder(side.traceFolder.Read("agent-trace.txt"),
                           {"NAK received for frame 1", "frame 1 sent again (2 of 3)", "NAK received for frame 1",
                            "frame 1 sent again (3 of 3)", "NAK received for frame 1",
                            "link down: frame 1 refused 3 times", "link up: the PIN pad answered"}));
}

TEST(SerialLink, UnansweredFrameTakesTheLinkDownOnlyWhenMoreIsWaiting) {
  LinkOnLine side;
  side.link.Transmit(TByteBuffer(std::string("one")));
  side.now += 5000;
  side.link.Poll();
  EXPECT_FALSE(side.link.IsDown()) << "nothing queued behind the frame";
  EXPECT_EQ(1u, side.SentFrames().size()) << "a timeout alone never resends";

  side.trace.SetLevel(1);
  side.link.Transmit(TByteBuffer(std::string(400, 'z')));
  side.link.Poll();
  EXPECT_TRUE(side.link.IsDown());
  EXPECT_EQ(0u, side.link.GetBacklog());
  EXPECT_TRUE(FoundInOrder(side.traceFolder.Read("agent-trace.txt"), {"link down: frame 1 not answered within 2 s"}));
}

TEST(SerialLink, SequenceNumbersWrapFrom255ToZero) {
  LinkOnLine side;
  std::vector<uint8_t> numbers;
  for (int i = 0; i < 257; ++i) {
    side.link.Transmit(TByteBuffer(std::string("a")));
    auto frames = side.SentFrames();
    ASSERT_EQ(1u, frames.size());
    numbers.push_back(frames[0][1]);
    side.Answer(kAck, frames[0][1]);
  }
  EXPECT_EQ(1, numbers[0]);
  EXPECT_EQ(255, numbers[254]);
  EXPECT_EQ(0, numbers[255]);
  EXPECT_EQ(1, numbers[256]);
}

TEST(SerialLink, AcknowledgesGoodDataRefusesBadAndIgnoresFramesThatLieAboutTheirLength) {
  LinkOnLine side;
  Bytes bad = LineFrame(kData, 7, {'b', 'a', 'd'});
  bad[bad.size() - 2] ^= 0x01;  // the CRC's low byte
  side.line->PutToAgent(bad);
  EXPECT_TRUE(side.link.TakeReceived().Empty());
  auto frames = side.SentFrames();
  ASSERT_EQ(1u, frames.size());
  EXPECT_EQ(kNak, frames[0][0]);
  EXPECT_EQ(7, frames[0][1]);

  // Claims 200 bytes, carries 3.
  Bytes liar = LineFrame(kData, 8, {'l', 'i', 'e'});
  liar[3] = 200;
  side.line->PutToAgent(liar);
  EXPECT_TRUE(side.link.TakeReceived().Empty());
  EXPECT_TRUE(side.SentFrames().empty()) << "neither acknowledged nor refused";

  side.line->PutToAgent(LineFrame(kData, 9, {0xC0, 0xDB, 'k'}));
  EXPECT_EQ(std::string("\xC0\xDB" "k"), side.link.TakeReceived().ToString());
  frames = side.SentFrames();
  ASSERT_EQ(1u, frames.size());
  EXPECT_EQ((Bytes{kAck, 9, 0x00}), Bytes(frames[0].begin(), frames[0].begin() + 3));
}

}  // namespace
