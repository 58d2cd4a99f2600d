#include "posix_pad_line.h"
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include "serial_crc.h"
#include "serial_framer.h"
#include "serial_link.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kDelimiter = 0xC0;
constexpr uint8_t kFrameData = 0x41;
constexpr uint8_t kFrameAck = 0x06;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

TByteBuffer WithCrc(TByteBuffer content) {
  const uint16_t crc = SerialCrc16(content.Data(), content.Length());
  content.Append(static_cast<uint8_t>(crc >> 8));
  content.Append(static_cast<uint8_t>(crc));
  return content;
}

}  // namespace

TPadLine::TPadLine() {
  int slave = -1;
  char name[256];
  if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("no pseudo-terminal");
  // Until the agent sets the line up, the terminal must not echo what the
  // pad writes back at it.
  termios raw;
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  close(slave);
  slavePath_ = name;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

TPadLine::~TPadLine() { close(master_); }

bool TPadLine::ReadFrame(TByteBuffer* content, int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  do {
    uint8_t byte;
    const ssize_t n = read(master_, &byte, 1);
    if (n != 1) {
      // EIO while the agent's end is closed: nothing to read yet, and poll
      // would not wait for it.
      if (errno == EIO) {
        usleep(20000);
      } else {
        pollfd ready = {master_, POLLIN, 0};
        poll(&ready, 1, std::min(20, MsLeft(deadline)));
      }
      continue;
    }
    if (byte != kDelimiter) {
      if (inFrame_) pending_.Append(byte);
    } else if (inFrame_ && !pending_.Empty()) {
      *content = TSerialFramer::Unescape(pending_);
      pending_.Clear();
      inFrame_ = false;
      return true;
    } else {
      inFrame_ = true;
    }
  } while (MsLeft(deadline) > 0);
  return false;
}

bool TPadLine::AgentEndClosed(int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  do {
    uint8_t byte;
    if (read(master_, &byte, 1) < 0 && errno == EIO) return true;
    usleep(20000);
  } while (MsLeft(deadline) > 0);
  return false;
}

void TPadLine::WriteFrame(const TByteBuffer& content) {
  const TByteBuffer frame = TSerialFramer::Escape(content.Data(), content.Length());
  if (write(master_, frame.Data(), frame.Length()) != static_cast<ssize_t>(frame.Length())) {
    throw std::runtime_error("the pad could not write a frame");
  }
}

void TPadLine::WriteData(uint8_t sequence, const TByteBuffer& payload, bool breakCrc) {
  TByteBuffer content;
  content.Append(kFrameData);
  content.Append(sequence);
  content.Append(static_cast<uint8_t>(payload.Length()));
  content.Append(payload);
  content = WithCrc(content);
  if (breakCrc) content.MutableData()[content.Length() - 1] ^= 0xFF;
  WriteFrame(content);
}

// Acknowledges a good DATA frame and keeps its payload; notes the sequence
// number of an acknowledgement. False for anything else.
bool TPadLine::HandleFrame(const TByteBuffer& content, int* acknowledged) {
  if (content.Length() < 5) return false;
  if (content[0] == kFrameAck) {
    *acknowledged = content[1];
    return true;
  }
  const size_t length = content[2];
  if (content[0] != kFrameData || content.Length() < length + 5) return false;
  const uint16_t crc = SerialCrc16(content.Data(), length + 3);
  if (content[length + 3] != (crc >> 8) || content[length + 4] != (crc & 0xFF)) return false;
  WriteAck(content[1]);
  lastDataSequence_ = content[1];
  stream_.Append(content.Sub(3, length));
  return true;
}

void TPadLine::WriteAck(uint8_t sequence) {
  TByteBuffer ack;
  ack.Append(kFrameAck);
  ack.Append(sequence);
  ack.Append(uint8_t{0});
  WriteFrame(WithCrc(ack));
}

bool TPadLine::AcceptReset(int waitMs) {
  TSerialMessage reset;
  return Receive(&reset, waitMs) && reset.type == MSG_RESET;
}

bool TPadLine::Send(const TSerialMessage& message, int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  TByteBuffer bytes = message.Serialize();
  while (!bytes.Empty()) {
    const uint8_t sequence = ++sequence_;
    WriteData(sequence, bytes.Sub(0, TSerialLink::kMaxPayload));
    bytes.RemoveFront(std::min(bytes.Length(), TSerialLink::kMaxPayload));
    int acknowledged = -1;
    TByteBuffer frame;
    while (acknowledged != sequence) {
      if (!ReadFrame(&frame, MsLeft(deadline))) return false;
      HandleFrame(frame, &acknowledged);
    }
  }
  return true;
}

bool TPadLine::Receive(TSerialMessage* message, int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  TByteBuffer frame;
  int acknowledged = -1;
  while (!TakeSerialMessage(stream_, message)) {
    if (!ReadFrame(&frame, MsLeft(deadline))) return false;
    HandleFrame(frame, &acknowledged);
  }
  return true;
}
