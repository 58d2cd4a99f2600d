#include "serial_message.h"
#include <algorithm>

namespace {

// Offsets of the fields from the start of the message.
constexpr size_t kTypeAt = 2;
constexpr size_t kIdAt = 3;
constexpr size_t kFieldsAt = 7;
constexpr size_t kMinBody = 5;

void PutNumber(TByteBuffer& out, uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
    out.Append(static_cast<uint8_t>(value >> shift));
  }
}

// Fields that lie past the end of the message read as 0.
uint32_t GetNumber(const TByteBuffer& message, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    const size_t index = at + static_cast<size_t>(i);
    value = (value << 8) | (index < message.Length() ? message[index] : 0u);
  }
  return value;
}

}  // namespace

TByteBuffer TSerialMessage::Serialize() const {
  TByteBuffer body;
  body.Append(type);
  PutNumber(body, id, 4);
  switch (type) {
    case MSG_CONNECT:
    case MSG_ACCEPTED:
      PutNumber(body, address, 4);
      PutNumber(body, port, 2);
      break;
    case MSG_LISTEN:
      PutNumber(body, port, 2);
      break;
    case MSG_STATUS:
      PutNumber(body, static_cast<uint32_t>(code), 4);
      break;
    case MSG_DATA_TO_CLIENT:
    case MSG_DATA_TO_HOST:
      body.Append(data.Data(), std::min(data.Length(), kMaxData));
      break;
    default:
      break;
  }
  TByteBuffer message;
  PutNumber(message, static_cast<uint32_t>(body.Length()), 2);
  message.Append(body);
  return message;
}

bool TakeSerialMessage(TByteBuffer& stream, TSerialMessage* message) {
  if (stream.Length() < 2) return false;
  const size_t body = (size_t{stream[0]} << 8) | stream[1];
  if (stream.Length() < 2 + body) return false;
  const TByteBuffer whole = stream.Sub(0, 2 + body);
  stream.RemoveFront(2 + body);

  *message = TSerialMessage();
  if (body < kMinBody) return true;
  message->type = whole[kTypeAt];
  message->id = GetNumber(whole, kIdAt, 4);
  switch (message->type) {
    case MSG_CONNECT:
    case MSG_ACCEPTED:
      message->address = GetNumber(whole, kFieldsAt, 4);
      message->port = static_cast<uint16_t>(GetNumber(whole, kFieldsAt + 4, 2));
      break;
    case MSG_LISTEN:
      message->port = static_cast<uint16_t>(GetNumber(whole, kFieldsAt, 2));
      break;
    case MSG_STATUS:
      message->code = static_cast<int32_t>(GetNumber(whole, kFieldsAt, 4));
      break;
    case MSG_DATA_TO_CLIENT:
    case MSG_DATA_TO_HOST:
      message->data = whole.Sub(kFieldsAt);
      break;
    default:
      break;
  }
  return true;
}
