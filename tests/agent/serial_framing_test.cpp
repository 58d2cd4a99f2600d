#include <gtest/gtest.h>
#include "serial_crc.h"
#include "serial_framer.h"
#include "serial_testutil.h"

namespace {

Bytes ToBytes(const TByteBuffer& buffer) { return Bytes(buffer.Data(), buffer.Data() + buffer.Length()); }

TByteBuffer Buffer(const Bytes& bytes) { return TByteBuffer(bytes.size(), bytes.data()); }

TEST(SerialCrc, MatchesTheStandardCheckValueAndTheLineExamples) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(0x29B1, SerialCrc16(check, sizeof check));
  const uint8_t reset[] = {0x41, 0x01, 0x07, 0x00, 0x05, 0x09, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(0x3B20, SerialCrc16(reset, sizeof reset));
  const uint8_t ack[] = {0x06, 0x01, 0x00};
  EXPECT_EQ(0x4D0D, SerialCrc16(ack, sizeof ack));
  const uint8_t nak[] = {0x15, 0x01, 0x00};
  EXPECT_EQ(0x573E, SerialCrc16(nak, sizeof nak));
}

TEST(SerialFramer, EscapesDelimiterAndEscapeBytesAndRestoresThem) {
  const Bytes content = {0x01, 0xC0, 0xDB, 0xDC, 0xDB, 0xDD, 0xC0, 0xC0, 0x7F};
  const TByteBuffer line = TSerialFramer::Escape(content.data(), content.size());
  EXPECT_EQ((Bytes{0xC0, 0x01, 0xDB, 0xDC, 0xDB, 0xDD, 0xDC, 0xDB, 0xDD, 0xDD, 0xDB, 0xDC, 0xDB, 0xDC, 0x7F, 0xC0}),
            ToBytes(line));
  EXPECT_EQ(content, ToBytes(TSerialFramer::Unescape(line.Sub(1, line.Length() - 2))));

  const Bytes allDelimiters(255, 0xC0);
  const TByteBuffer doubled = TSerialFramer::Escape(allDelimiters.data(), allDelimiters.size());
  ASSERT_EQ(2u + 510u, doubled.Length());
  for (size_t i = 1; i + 1 < doubled.Length(); i += 2) {
    ASSERT_EQ(0xDB, doubled[i]);
    ASSERT_EQ(0xDC, doubled[i + 1]);
  }
}

TEST(SerialFramer, BrokenEscapesLoseOnlyTheirOwnBytes) {
  // DB followed by anything but DC, DD or DB: both go.
  EXPECT_EQ((Bytes{0x01, 0x03}), ToBytes(TSerialFramer::Unescape(Buffer({0x01, 0xDB, 0x02, 0x03}))));
  // DB DB: the first goes, the second starts the escape.
  EXPECT_EQ((Bytes{0xC0, 0x05}), ToBytes(TSerialFramer::Unescape(Buffer({0xDB, 0xDB, 0xDC, 0x05}))));
  // A lone DB at the end has nothing to escape.
  EXPECT_EQ((Bytes{0x05}), ToBytes(TSerialFramer::Unescape(Buffer({0x05, 0xDB}))));
}

TEST(SerialFramer, ReadsOneFrameAtATimeDroppingNoiseAndExtraDelimiters) {
  auto line = std::make_shared<SerialLine>();
  TSerialFramer framer(new FakeSerialPort(line, 0));
  line->PutToAgent({0x11, 0x22, 0xDB});                   // noise outside any frame
  line->PutToAgent({0xC0, 0xC0, 0xC0, 0x01, 0xDB, 0xDC, 0xC0});  // delimiters in front
  line->PutToAgent({0xC0, 0x02, 0xC0});                   // a second, back to back

  TByteBuffer frame;
  ASSERT_TRUE(framer.ReadFrame(&frame));
  EXPECT_EQ((Bytes{0x01, 0xC0}), ToBytes(frame));
  ASSERT_TRUE(framer.ReadFrame(&frame));
  EXPECT_EQ((Bytes{0x02}), ToBytes(frame));
  EXPECT_FALSE(framer.ReadFrame(&frame)) << "nothing left";

  line->PutToAgent({0xC0, 0x03});
  EXPECT_FALSE(framer.ReadFrame(&frame)) << "a frame is handed up only once it is closed";
  line->PutToAgent({0x04, 0xC0});
  ASSERT_TRUE(framer.ReadFrame(&frame));
  EXPECT_EQ((Bytes{0x03, 0x04}), ToBytes(frame));
}

TEST(SerialFramer, EndlessFrameIsDroppedWithoutHoldingOnToIt) {
  auto line = std::make_shared<SerialLine>();
  TSerialFramer framer(new FakeSerialPort(line, 0));
  line->PutToAgent({0xC0});
  line->PutToAgent(Bytes(100000, 0x55));
  TByteBuffer frame;
  EXPECT_FALSE(framer.ReadFrame(&frame));
  // The noise ran past the longest real frame, so its closing delimiter
  // opens a fresh frame instead of ending a giant one.
  line->PutToAgent({0xC0, 0x07, 0xC0});
  ASSERT_TRUE(framer.ReadFrame(&frame));
  EXPECT_EQ((Bytes{0x07}), ToBytes(frame));
}

}  // namespace
