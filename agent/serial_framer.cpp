#include "serial_framer.h"
#include <algorithm>

namespace {

constexpr uint8_t kEnd = 0xC0;
constexpr uint8_t kEscape = 0xDB;
constexpr uint8_t kEscapedEnd = 0xDC;
constexpr uint8_t kEscapedEscape = 0xDD;

}  // namespace

TSerialFramer::TSerialFramer(IConnection* port) : port_(port) {}

TSerialFramer::~TSerialFramer() = default;

TByteBuffer TSerialFramer::Escape(const uint8_t* content, size_t length) {
  TByteBuffer line;
  line.Append(kEnd);
  for (size_t i = 0; i < length; ++i) {
    const uint8_t byte = content[i];
    if (byte == kEnd) {
      const uint8_t escaped[2] = {kEscape, kEscapedEnd};
      line.Append(escaped, 2);
    } else if (byte == kEscape) {
      const uint8_t escaped[2] = {kEscape, kEscapedEscape};
      line.Append(escaped, 2);
    } else {
      line.Append(byte);
    }
  }
  line.Append(kEnd);
  return line;
}

TByteBuffer TSerialFramer::Unescape(const TByteBuffer& raw) {
  TByteBuffer content;
  bool escaping = false;
  for (size_t i = 0; i < raw.Length(); ++i) {
    const uint8_t byte = raw[i];
    if (escaping) {
      if (byte == kEscape) continue;  // the second one starts a new escape
      escaping = false;
      if (byte == kEscapedEnd) content.Append(kEnd);
      if (byte == kEscapedEscape) content.Append(kEscape);
    } else if (byte == kEscape) {
      escaping = true;
    } else {
      content.Append(byte);
    }
  }
  return content;
}

bool TSerialFramer::ReadFrame(TByteBuffer* content) {
  uint8_t byte = 0;
  while (port_->Receive(&byte, 1) > 0) {
    if (byte == kEnd) {
      // A delimiter also opens the frame after the one it closes: a frame
      // cut short (its sender restarted in the middle of it) ends at the
      // next frame's opening delimiter, and that frame is not lost with it.
      // Back-to-back delimiters only open the frame again.
      inFrame_ = true;
      if (!raw_.Empty()) {
        *content = Unescape(raw_);
        raw_.Clear();
        return true;
      }
    } else if (inFrame_) {
      if (raw_.Length() >= kMaxRawFrame) {
        inFrame_ = false;
        raw_.Clear();
      } else {
        raw_.Append(byte);
      }
    }
  }
  return false;
}

void TSerialFramer::Watch(IIoWait& wait) {
  if (auto* port = dynamic_cast<IWaitable*>(port_.get())) port->WatchForBytes(wait, std::max<size_t>(1, BytesToFrameEnd()));
}

size_t TSerialFramer::BytesToFrameEnd() const {
  if (!inFrame_ || raw_.Empty()) return 0;
  // Kind, sequence number, payload length and the CRC: a frame with no
  // payload, until the length byte tells more.
  constexpr size_t kShortestFrame = 5;
  const TByteBuffer content = Unescape(raw_);
  const size_t whole = content.Length() >= 3 ? kShortestFrame + content[2] : kShortestFrame;
  return (whole > content.Length() ? whole - content.Length() : 0) + 1;
}

bool TSerialFramer::WriteFrame(const uint8_t* content, size_t length) {
  const TByteBuffer line = Escape(content, length);
  const int32_t sent = port_->Send(line.Data(), static_cast<uint32_t>(line.Length()));
  return sent >= 0 && static_cast<size_t>(sent) == line.Length();
}
