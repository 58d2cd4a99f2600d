#include <gtest/gtest.h>
#include "serial_message.h"
#include "serial_testutil.h"

namespace {

TByteBuffer Stream(const Bytes& bytes) { return TByteBuffer(bytes.size(), bytes.data()); }

TEST(SerialMessage, TravelsAsTheExamplesShow) {
  TSerialMessage connect = Message(MSG_CONNECT, 7);
  connect.address = 0x0A000001;  // 10.0.0.1
  connect.port = 443;
  EXPECT_EQ((Bytes{0x00, 0x0B, 0x01, 0x00, 0x00, 0x00, 0x07, 0x0A, 0x00, 0x00, 0x01, 0x01, 0xBB}), Serialized(connect));
  EXPECT_EQ((Bytes{0x00, 0x09, 0x04, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00}),
            Serialized(Message(MSG_STATUS, 7)));
  TSerialMessage data = Message(MSG_DATA_TO_HOST, 7);
  data.data = TByteBuffer(std::string("abc"));
  EXPECT_EQ((Bytes{0x00, 0x08, 0x08, 0x00, 0x00, 0x00, 0x07, 0x61, 0x62, 0x63}), Serialized(data));
  EXPECT_EQ((Bytes{0x00, 0x05, 0x05, 0x00, 0x00, 0x00, 0x07}), Serialized(Message(MSG_CLOSED, 7)));
  EXPECT_EQ((Bytes{0x00, 0x05, 0x09, 0x00, 0x00, 0x00, 0x00}), Serialized(Message(MSG_RESET, 0)));
  TSerialMessage listen = Message(MSG_LISTEN, 0x01020304);
  listen.port = 5000;
  EXPECT_EQ((Bytes{0x00, 0x07, 0x02, 0x01, 0x02, 0x03, 0x04, 0x13, 0x88}), Serialized(listen));
}

TEST(SerialMessage, RoundTripsEveryField) {
  TSerialMessage accepted = Message(MSG_ACCEPTED, 0xFFFFFFFE);
  accepted.address = 0x0100007F;
  accepted.port = 0;
  TSerialMessage status = Message(MSG_STATUS, 3);
  status.code = 20001;
  TSerialMessage data = Message(MSG_DATA_TO_CLIENT, 4);
  data.data = TByteBuffer(std::string("\x00\xC0xyz", 5));

  TByteBuffer stream;
  for (const auto* message : {&accepted, &status, &data}) stream.Append(message->Serialize());
  TSerialMessage parsed;
  ASSERT_TRUE(TakeSerialMessage(stream, &parsed));
  EXPECT_EQ(MSG_ACCEPTED, parsed.type);
  EXPECT_EQ(0xFFFFFFFEu, parsed.id);
  EXPECT_EQ(0x0100007Fu, parsed.address);
  ASSERT_TRUE(TakeSerialMessage(stream, &parsed));
  EXPECT_EQ(20001, parsed.code);
  ASSERT_TRUE(TakeSerialMessage(stream, &parsed));
  EXPECT_EQ(std::string("\x00\xC0xyz", 5), parsed.data.ToString());
  EXPECT_FALSE(TakeSerialMessage(stream, &parsed));
}

TEST(SerialMessage, WaitsForTheWholeBodyAndConsumesShortOrEmptyOnes) {
  TByteBuffer stream = Stream({0x00, 0x0B, 0x01, 0x00, 0x00});
  TSerialMessage parsed;
  EXPECT_FALSE(TakeSerialMessage(stream, &parsed));
  EXPECT_EQ(5u, stream.Length()) << "kept until the rest arrives";

  // A connect whose body stops after the id: address and port read as 0.
  stream = Stream({0x00, 0x05, 0x01, 0x00, 0x00, 0x00, 0x02});
  ASSERT_TRUE(TakeSerialMessage(stream, &parsed));
  EXPECT_EQ(MSG_CONNECT, parsed.type);
  EXPECT_EQ(2u, parsed.id);
  EXPECT_EQ(0u, parsed.address);
  EXPECT_EQ(0, parsed.port);
  // A status with two of its four code bytes: the missing ones read as 0.
  stream = Stream({0x00, 0x07, 0x04, 0x00, 0x00, 0x00, 0x02, 0x4E, 0x21});
  ASSERT_TRUE(TakeSerialMessage(stream, &parsed));
  EXPECT_EQ(0x4E210000, parsed.code);

  // Bodies of 4 bytes or less are no message, but are taken off all the same.
  stream = Stream({0x00, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x06, 0x00, 0x00, 0x00, 0x09});
  ASSERT_TRUE(TakeSerialMessage(stream, &parsed));
  EXPECT_EQ(MSG_NONE, parsed.type);
  ASSERT_TRUE(TakeSerialMessage(stream, &parsed));
  EXPECT_EQ(MSG_NONE, parsed.type);
  ASSERT_TRUE(TakeSerialMessage(stream, &parsed));
  EXPECT_EQ(MSG_CLOSE, parsed.type);
  EXPECT_EQ(9u, parsed.id);
}

}  // namespace
