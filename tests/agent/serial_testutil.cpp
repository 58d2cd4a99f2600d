#include "serial_testutil.h"
#include "serial_crc.h"

std::vector<Bytes> SplitFrames(const Bytes& line) {
  std::vector<Bytes> frames;
  Bytes current;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == 0xC0) {
      if (!current.empty()) frames.push_back(current);
      current.clear();
    } else if (line[i] == 0xDB && i + 1 < line.size()) {
      current.push_back(line[++i] == 0xDC ? 0xC0 : 0xDB);
    } else {
      current.push_back(line[i]);
    }
  }
  return frames;
}

Bytes LineFrame(uint8_t kind, uint8_t sequence, const Bytes& payload) {
  Bytes content = {kind, sequence, static_cast<uint8_t>(payload.size())};
  content.insert(content.end(), payload.begin(), payload.end());
  const uint16_t crc = SerialCrc16(content.data(), content.size());
  content.push_back(static_cast<uint8_t>(crc >> 8));
  content.push_back(static_cast<uint8_t>(crc));
  Bytes line = {0xC0};
  for (uint8_t byte : content) {
    if (byte == 0xC0 || byte == 0xDB) {
      line.push_back(0xDB);
      line.push_back(byte == 0xC0 ? 0xDC : 0xDD);
    } else {
      line.push_back(byte);
    }
  }
  line.push_back(0xC0);
  return line;
}

Bytes Serialized(const TSerialMessage& message) {
  const TByteBuffer bytes = message.Serialize();
  return Bytes(bytes.Data(), bytes.Data() + bytes.Length());
}

TSerialMessage Message(uint8_t type, uint32_t id) {
  TSerialMessage message;
  message.type = type;
  message.id = id;
  return message;
}

std::vector<TSerialMessage> SerialFarEnd::Receive() {
  const TByteBuffer received = link_.TakeReceived();
  if (link_.TakeFarEndReopened()) stream_.Clear();
  stream_.Append(received);
  std::vector<TSerialMessage> messages;
  TSerialMessage message;
  while (TakeSerialMessage(stream_, &message)) messages.push_back(message);
  return messages;
}
