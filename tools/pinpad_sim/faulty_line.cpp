#include "faulty_line.h"
#include <vector>
#include "serial_framer.h"
#include "serial_link.h"

namespace {

constexpr uint8_t kDelimiter = 0xC0;
constexpr uint8_t kFrameData = 0x41;
constexpr uint8_t kFrameAck = 0x06;
constexpr uint8_t kFrameNak = 0x15;

}  // namespace

bool TLineFaults::LineIsIdle() const {
  if (!awaitingAck) return true;
  const auto given = std::chrono::milliseconds(TSerialLink::kAckTimeout + 500);
  return std::chrono::steady_clock::now() - lastDataSentAt > given;
}

TFaultyLine::TFaultyLine(IConnection* port, TLineFaults& faults) : port_(port), faults_(faults) {}

int32_t TFaultyLine::Send(const void* data, uint32_t length) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (length < 3 || bytes[0] != kDelimiter || bytes[length - 1] != kDelimiter) {
    return port_->Send(data, length);
  }
  TByteBuffer content = TSerialFramer::Unescape(TByteBuffer(length - 2, bytes + 1));
  if (content.Length() < 5) return port_->Send(data, length);

  const uint8_t kind = content[0];
  if (kind == kFrameAck && faults_.withheldAcks > 0) {
    --faults_.withheldAcks;
    return static_cast<int32_t>(length);
  }
  if (kind == kFrameData) {
    ++faults_.dataFramesSent;
    faults_.lastDataSequence = content[1];
    faults_.awaitingAck = true;
    faults_.lastDataSentAt = std::chrono::steady_clock::now();
  }
  WriteNoise();
  if (kind == kFrameData && faults_.badCrcFrames > 0) {
    --faults_.badCrcFrames;
    content.MutableData()[content.Length() - 1] ^= 0x5A;
    const TByteBuffer frame = TSerialFramer::Escape(content.Data(), content.Length());
    const int32_t written = port_->Send(frame.Data(), static_cast<uint32_t>(frame.Length()));
    // The link compares the count with the frame it handed over.
    return written == static_cast<int32_t>(frame.Length()) ? static_cast<int32_t>(length) : -1;
  }
  return port_->Send(data, length);
}

int32_t TFaultyLine::Receive(void* buffer, uint32_t size) {
  const int32_t count = port_->Receive(buffer, size);
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  for (int32_t i = 0; i < count; ++i) {
    if (bytes[i] != kDelimiter) {
      if (inFrame_ && incoming_.Length() < TSerialFramer::kMaxRawFrame) incoming_.Append(bytes[i]);
      continue;
    }
    if (inFrame_ && !incoming_.Empty()) {
      Observe(TSerialFramer::Unescape(incoming_));
      incoming_.Clear();
      inFrame_ = false;
    } else {
      inFrame_ = true;
    }
  }
  return count;
}

void TFaultyLine::Watch(IIoWait& wait, bool readable, bool writable) {
  if (auto* port = dynamic_cast<IWaitable*>(port_.get())) port->Watch(wait, readable, writable);
}

void TFaultyLine::WatchForBytes(IIoWait& wait, size_t count) {
  if (auto* port = dynamic_cast<IWaitable*>(port_.get())) port->WatchForBytes(wait, count);
}

void TFaultyLine::Observe(const TByteBuffer& content) {
  if (content.Length() < 5) return;
  const bool current = faults_.awaitingAck && content[1] == faults_.lastDataSequence;
  if (content[0] == kFrameAck && current) faults_.awaitingAck = false;
  if (content[0] == kFrameNak && current) ++faults_.naksReceived;
}

void TFaultyLine::WriteNoise() {
  if (faults_.noiseBytes == 0) return;
  std::vector<uint8_t> noise(faults_.noiseBytes);
  for (uint8_t& byte : noise) {
    // xorshift: cheap, and varied enough to look like a disturbed line.
    noiseSeed_ ^= noiseSeed_ << 13;
    noiseSeed_ ^= noiseSeed_ >> 17;
    noiseSeed_ ^= noiseSeed_ << 5;
    byte = static_cast<uint8_t>(noiseSeed_);
    if (byte == kDelimiter) byte = 0x3F;
  }
  port_->Send(noise.data(), static_cast<uint32_t>(noise.size()));
}
