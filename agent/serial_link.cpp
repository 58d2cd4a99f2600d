#include "serial_link.h"
#include <algorithm>
#include "serial_crc.h"

namespace {

constexpr uint8_t kFrameData = 0x41;
constexpr uint8_t kFrameAck = 0x06;
constexpr uint8_t kFrameNak = 0x15;
constexpr uint8_t kTransmissions = 3;
// Kind, sequence number, payload length, and the CRC behind the payload.
constexpr size_t kHeader = 3;
constexpr size_t kOverhead = kHeader + 2;

}  // namespace

TSerialLink::TSerialLink(IConnection* port, ISerialEnvironment& environment, IAgentTrace& trace)
    : environment_(environment), trace_(trace), framer_(port) {}

TSerialLink::~TSerialLink() = default;

bool TSerialLink::Transmit(const TByteBuffer& bytes) {
  Poll();
  queue_.Append(bytes);
  if (inFlight_.Empty()) StartNext();
  return !down_;
}

void TSerialLink::SendOpening(const TByteBuffer& bytes) {
  opening_ = bytes;
  queue_.Append(bytes);
  StartNext();
  Fail();
}

TByteBuffer TSerialLink::TakeReceived() {
  Poll();
  TByteBuffer taken = std::move(received_);
  received_.Clear();
  if (!taken.Empty()) Confirm();
  return taken;
}

bool TSerialLink::TakeFarEndReopened() {
  const bool reopened = farEndReopened_;
  farEndReopened_ = false;
  return reopened;
}

bool TSerialLink::OpensFarEndLink(uint8_t sequence, const uint8_t* payload, size_t length) const {
  return sequence == 1 && !opening_.Empty() && length >= opening_.Length() &&
         std::equal(opening_.Data(), opening_.Data() + opening_.Length(), payload);
}

void TSerialLink::Confirm() {
  if (down_) trace_.LinkUp();
  down_ = false;
}

void TSerialLink::FailBecause(TLinkFailure why) {
  trace_.LinkFailed(why, sequence_);
  Fail();
}

void TSerialLink::Fail() {
  down_ = true;
  queue_.Clear();
  inFlight_.Clear();
  ackTimer_.reset();
}

void TSerialLink::StartNext() {
  inFlight_.Clear();
  if (queue_.Empty()) {
    ackTimer_.reset();
    return;
  }
  ++sequence_;
  retriesLeft_ = kTransmissions;
  const size_t n = std::min(kMaxPayload, queue_.Length());
  inFlight_ = queue_.Sub(0, n);
  queue_.RemoveFront(n);
  SendInFlight();
}

void TSerialLink::SendInFlight() {
  ackTimer_.reset(environment_.CreateTimer(kAckTimeout));
  if (retriesLeft_ != kTransmissions) trace_.FrameResent(sequence_, kTransmissions - retriesLeft_ + 1);
  --retriesLeft_;
  TByteBuffer frame;
  const uint8_t header[kHeader] = {kFrameData, sequence_, static_cast<uint8_t>(inFlight_.Length())};
  frame.Append(header, kHeader);
  frame.Append(inFlight_);
  const uint16_t crc = SerialCrc16(frame.Data(), frame.Length());
  frame.Append(static_cast<uint8_t>(crc >> 8));
  frame.Append(static_cast<uint8_t>(crc & 0xFF));
  trace_.Frame(true, frame.Data(), frame.Length());
  if (!framer_.WriteFrame(frame.Data(), frame.Length())) FailBecause(TLinkFailure::WriteFailed);
}

void TSerialLink::Acknowledge(uint8_t kind, uint8_t sequence) {
  uint8_t frame[kOverhead] = {kind, sequence, 0x00, 0, 0};
  const uint16_t crc = SerialCrc16(frame, kHeader);
  frame[3] = static_cast<uint8_t>(crc >> 8);
  frame[4] = static_cast<uint8_t>(crc & 0xFF);
  trace_.Frame(true, frame, kOverhead);
  // An acknowledgement that does not get out is not repeated: the far end
  // times out or sends the frame again.
  framer_.WriteFrame(frame, kOverhead);
}

void TSerialLink::HandleFrame(const TByteBuffer& frame) {
  if (frame.Length() < kOverhead) return;
  const size_t payload = frame[2];
  if (frame.Length() < payload + kOverhead) return;  // shorter than it claims
  const uint8_t sequence = frame[1];
  switch (frame[0]) {
    case kFrameAck:
      // Also with nothing in flight: that is how the reset frame sent at
      // open, which is never repeated, brings the link up.
      if (sequence != sequence_) return;
      Confirm();
      StartNext();
      return;
    case kFrameNak:
      // Nothing in flight (the reset frame, or a frame already given up):
      // there is nothing to send again.
      if (sequence != sequence_ || inFlight_.Empty()) return;
      trace_.NakReceived(sequence);
      if (retriesLeft_ != 0) {
        SendInFlight();
      } else {
        FailBecause(TLinkFailure::RetriesExhausted);
      }
      return;
    case kFrameData: {
      const size_t covered = kHeader + payload;
      const uint16_t crc = static_cast<uint16_t>((frame[covered] << 8) | frame[covered + 1]);
      if (crc != SerialCrc16(frame.Data(), covered)) {
        trace_.NakSent(sequence);
        Acknowledge(kFrameNak, sequence);
        return;
      }
      Acknowledge(kFrameAck, sequence);
      if (OpensFarEndLink(sequence, frame.Data() + kHeader, payload)) {
        // The far end restarted: the rest of a message its old link was
        // sending never comes, and it has no use for the rest of ours.
        received_.Clear();
        queue_.Clear();
        inFlight_.Clear();
        ackTimer_.reset();
        farEndReopened_ = true;
      }
      received_.Append(frame.Data() + kHeader, payload);
      return;
    }
    default:
      return;
  }
}

void TSerialLink::Watch(IIoWait& wait) {
  framer_.Watch(wait);
  if (ackTimer_ && !queue_.Empty()) {
    const uint32_t elapsed = ackTimer_->GetElapsed();
    wait.Within(elapsed >= kAckTimeout ? 0 : kAckTimeout - elapsed);
  }
}

void TSerialLink::Poll() {
  TByteBuffer frame;
  if (framer_.ReadFrame(&frame)) {
    trace_.Frame(false, frame.Data(), frame.Length());
    HandleFrame(frame);
  }
  if (ackTimer_ && ackTimer_->IsExpired() && !queue_.Empty()) FailBecause(TLinkFailure::NoAcknowledgement);
}
