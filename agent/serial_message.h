#pragma once
#include <cstdint>
#include "files/byte_buffer.h"
#include "net/network.h"

// Messages about multiplexed connections, laid end to end in the link's byte
// stream: body length (2), type (1), connection id (4), then the fields of
// the type; every number big-endian.
enum : uint8_t {
  MSG_NONE = 0,
  MSG_CONNECT = 1,
  MSG_LISTEN = 2,
  MSG_ACCEPTED = 3,
  MSG_STATUS = 4,
  MSG_CLOSED = 5,
  MSG_CLOSE = 6,
  MSG_DATA_TO_CLIENT = 7,
  MSG_DATA_TO_HOST = 8,
  MSG_RESET = 9,
};

// Result codes of the serial network interface and its connections.
enum : int32_t {
  RESULT_NO_NETWORK = 20011,        // no network interface to make the connection with
  RESULT_LINK_NOT_OPEN = 20025,     // the serial link could not be opened
  RESULT_NOT_YET_REPORTED = 20027,  // the far end has not reported on the connection yet
};

struct TSerialMessage {
  uint8_t type = MSG_NONE;
  uint32_t id = 0;
  IpAddress address = 0;
  uint16_t port = 0;
  int32_t code = 0;
  TByteBuffer data;

  // The message as it travels. Data beyond kMaxData does not fit the length
  // field; callers cut it first.
  TByteBuffer Serialize() const;

  // Data bytes one message can carry (the body length is 16-bit).
  static constexpr size_t kMaxData = 0xFFFF - 5;
};

// Takes the first whole message off the front of the stream; false while the
// stream holds no whole message. A message with a body of 4 bytes or less
// comes out as MSG_NONE; fields beyond the end of a short body read as 0.
bool TakeSerialMessage(TByteBuffer& stream, TSerialMessage* message);

// Where messages go out: the session, which hands them to the link.
class ISerialMessageSender {
 public:
  virtual ~ISerialMessageSender() = default;
  // Answers whether the link is up after the hand-over.
  virtual bool SendMessage(const TSerialMessage& message) = 0;
  // Bytes handed over that the link has not sent yet.
  virtual size_t GetBacklog() const = 0;
};
