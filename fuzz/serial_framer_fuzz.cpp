// The serial line's byte stuffing and the messages of the link's byte stream:
// whatever is escaped or serialised reads back unchanged, and the framer
// recovers a frame after any line noise.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "serial_crc.h"
#include "serial_framer.h"
#include "serial_message.h"
#include "serial_testutil.h"

namespace {

TByteBuffer Buffer(const std::vector<uint8_t>& bytes) { return TByteBuffer(bytes.size(), bytes.data()); }

bool Same(const TByteBuffer& a, const TByteBuffer& b) {
  return a.Length() == b.Length() && (a.Empty() || std::memcmp(a.Data(), b.Data(), a.Length()) == 0);
}

void CheckEscapeRoundTrip(const std::vector<uint8_t>& content) {
  const TByteBuffer line = TSerialFramer::Escape(content.data(), content.size());
  FUZZ_CHECK(line.Length() >= 2 && line[0] == 0xC0 && line[line.Length() - 1] == 0xC0);
  const TByteBuffer inside = line.Sub(1, line.Length() - 2);
  for (size_t i = 0; i < inside.Length(); ++i) FUZZ_CHECK(inside[i] != 0xC0);
  FUZZ_CHECK(inside.Length() <= 2 * content.size());
  FUZZ_CHECK(Same(TSerialFramer::Unescape(inside), Buffer(content)));
}

// Un-escaping never makes bytes up, and what it gives escapes to a text that
// un-escapes to the same bytes again.
void CheckUnescape(const std::vector<uint8_t>& raw) {
  const TByteBuffer content = TSerialFramer::Unescape(Buffer(raw));
  FUZZ_CHECK(content.Length() <= raw.size());
  const TByteBuffer again = TSerialFramer::Escape(content.Data(), content.Length());
  FUZZ_CHECK(Same(TSerialFramer::Unescape(again.Sub(1, again.Length() - 2)), content));
}

// Noise on the line, then a delimiter and a well-formed link frame: the
// framer hands up frames no longer than its cap, and the last one is the
// frame. While the frame comes in byte by byte the framer never asks for
// more bytes than the frame still has.
void CheckFramerAfterNoise(const std::vector<uint8_t>& noise, const std::vector<uint8_t>& payload, uint8_t kind,
                           uint8_t sequence) {
  std::vector<uint8_t> frame = {kind, sequence, static_cast<uint8_t>(payload.size())};
  frame.insert(frame.end(), payload.begin(), payload.end());
  const uint16_t crc = SerialCrc16(frame.data(), frame.size());
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc));
  const TByteBuffer escaped = TSerialFramer::Escape(frame.data(), frame.size());

  auto line = std::make_shared<SerialLine>();
  TSerialFramer framer(new FakeSerialPort(line, 0));
  TByteBuffer got;
  bool gotFrame = false;
  for (uint8_t byte : noise) {
    line->ToAgent().push_back(byte);
    TByteBuffer content;
    if (framer.ReadFrame(&content)) FUZZ_CHECK(content.Length() <= TSerialFramer::kMaxRawFrame);
  }
  line->ToAgent().push_back(0xC0);
  for (size_t i = 0; i < escaped.Length(); ++i) {
    line->ToAgent().push_back(escaped[i]);
    TByteBuffer content;
    if (framer.ReadFrame(&content)) {
      FUZZ_CHECK(content.Length() <= TSerialFramer::kMaxRawFrame);
      got = content;
      gotFrame = true;
    }
    FUZZ_CHECK(framer.BytesToFrameEnd() <= escaped.Length() - i - 1);
  }
  FUZZ_CHECK(gotFrame && Same(got, Buffer(frame)));
}

// Messages taken off an arbitrary stream consume exactly their length; a
// message of a known type serialises back to the bytes it came from when
// its body had the type's own length.
void CheckMessageStream(const std::vector<uint8_t>& stream) {
  TByteBuffer rest = Buffer(stream);
  for (;;) {
    const size_t before = rest.Length();
    const TByteBuffer original = rest;
    TSerialMessage message;
    if (!TakeSerialMessage(rest, &message)) {
      FUZZ_CHECK(rest.Length() == before);
      FUZZ_CHECK(before < 2 || before < 2 + ((size_t{original[0]} << 8) | original[1]));
      return;
    }
    const size_t taken = before - rest.Length();
    FUZZ_CHECK(taken == 2 + ((size_t{original[0]} << 8) | original[1]));
    if (message.type == MSG_NONE) continue;
    const TByteBuffer again = message.Serialize();
    if (again.Length() == taken) FUZZ_CHECK(Same(again, original.Sub(0, taken)));
  }
}

void CheckMessageRoundTrip(FuzzedDataProvider& input) {
  TSerialMessage message;
  message.type = input.ConsumeIntegralInRange<uint8_t>(MSG_CONNECT, MSG_RESET);
  message.id = input.ConsumeIntegral<uint32_t>();
  if (message.type == MSG_CONNECT || message.type == MSG_ACCEPTED) message.address = input.ConsumeIntegral<uint32_t>();
  if (message.type == MSG_CONNECT || message.type == MSG_ACCEPTED || message.type == MSG_LISTEN) {
    message.port = input.ConsumeIntegral<uint16_t>();
  }
  if (message.type == MSG_STATUS) message.code = input.ConsumeIntegral<int32_t>();
  if (message.type == MSG_DATA_TO_CLIENT || message.type == MSG_DATA_TO_HOST) {
    message.data = Buffer(input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 600)));
  }
  TByteBuffer stream = message.Serialize();
  TSerialMessage back;
  FUZZ_CHECK(TakeSerialMessage(stream, &back) && stream.Empty());
  FUZZ_CHECK(back.type == message.type && back.id == message.id && back.address == message.address &&
             back.port == message.port && back.code == message.code && Same(back.data, message.data));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  switch (input.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      CheckEscapeRoundTrip(input.ConsumeRemainingBytes<uint8_t>());
      break;
    case 1:
      CheckUnescape(input.ConsumeRemainingBytes<uint8_t>());
      break;
    case 2: {
      const uint8_t kind = input.ConsumeIntegral<uint8_t>();
      const uint8_t sequence = input.ConsumeIntegral<uint8_t>();
      const auto payload = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 255));
      CheckFramerAfterNoise(input.ConsumeRemainingBytes<uint8_t>(), payload, kind, sequence);
      break;
    }
    case 3:
      CheckMessageStream(input.ConsumeRemainingBytes<uint8_t>());
      break;
    default:
      CheckMessageRoundTrip(input);
      break;
  }
  return 0;
}
