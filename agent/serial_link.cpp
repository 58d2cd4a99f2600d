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
  if (reopened_) return false;
  if (!bytes.Empty()) {
    queue_.Append(bytes);
    queuedMessages_.push_back(bytes.Length());
    if (inFlight_.Empty()) StartNext();
  }
  return !down_;
}

void TSerialLink::SendOpening(const TByteBuffer& bytes) {
  opening_ = bytes;
  openingUnsent_ = true;
  StartNext();
  Fail();
}

TByteBuffer TSerialLink::TakeReceived(size_t* resumedAt) {
  Poll();
  TByteBuffer taken = std::move(received_);
  received_.Clear();
  if (resumedAt) *resumedAt = resumedAt_;
  resumedAt_ = kNowhere;
  if (!taken.Empty()) Confirm();
  return taken;
}

bool TSerialLink::TakeFarEndReopened() {
  const bool reopened = farEndReopened_;
  farEndReopened_ = false;
  return reopened;
}

TByteBuffer TSerialLink::TakeDropped() {
  TByteBuffer taken = std::move(dropped_);
  dropped_.Clear();
  return taken;
}

bool TSerialLink::TakeReopened() {
  const bool reopened = reopened_;
  reopened_ = false;
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
  if (sendingOpening_) {
    // Not on the line: it goes first again with the next message.
    openingUnsent_ = true;
    down_ = true;
    return;
  }
  // A refused frame never reached the far end; one that was not answered,
  // or not written whole, may have.
  const bool mayHavePart = !inFlight_.Empty() && (!inFlightStartsMessage_ ||
                                                   (why != TLinkFailure::RetriesExhausted && !inFlightEndsMessage_));
  if (mayHavePart && !opening_.Empty()) {
    Reopen();
    return;
  }
  if (!mayHavePart || inFlightStartsMessage_) {
    dropped_.Append(inFlight_);
    dropped_.Append(queue_);
  }
  Fail();
}

void TSerialLink::Fail() {
  down_ = true;
  DropOutgoing();
}

void TSerialLink::DropOutgoing() {
  queue_.Clear();
  queuedMessages_.clear();
  frontTaken_ = 0;
  inFlight_.Clear();
  ackTimer_.reset();
}

void TSerialLink::Reopen() {
  Fail();
  dropped_.Clear();
  reopened_ = true;
  trace_.ResetSent();
  openingUnsent_ = true;
  StartNext();
}

void TSerialLink::SendOpeningFrame() {
  // Sequence 1, the opening alone, sent once and not waited for: only the
  // far end's answer brings the link up.
  sequence_ = 1;
  retriesLeft_ = kTransmissions;
  inFlight_ = opening_;
  openingUnsent_ = false;
  sendingOpening_ = true;
  SendInFlight();
  sendingOpening_ = false;
  inFlight_.Clear();
  ackTimer_.reset();
  down_ = true;
}

void TSerialLink::StartNext() {
  inFlight_.Clear();
  if (openingUnsent_) SendOpeningFrame();
  if (queue_.Empty() || openingUnsent_) {
    ackTimer_.reset();
    return;
  }
  ++sequence_;
  retriesLeft_ = kTransmissions;
  const size_t n = std::min(kMaxPayload, queue_.Length());
  inFlight_ = queue_.Sub(0, n);
  queue_.RemoveFront(n);
  inFlightStartsMessage_ = frontTaken_ == 0;
  size_t left = n;
  while (left != 0) {
    const size_t taken = std::min(left, queuedMessages_.front() - frontTaken_);
    frontTaken_ += taken;
    left -= taken;
    if (frontTaken_ == queuedMessages_.front()) {
      queuedMessages_.pop_front();
      frontTaken_ = 0;
    }
  }
  inFlightEndsMessage_ = frontTaken_ == 0;
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
        resumedAt_ = kNowhere;
        DropOutgoing();
        dropped_.Clear();
        farEndReopened_ = true;
      }
      NoteData();
      received_.Append(frame.Data() + kHeader, payload);
      return;
    }
    default:
      return;
  }
}

void TSerialLink::NoteData() {
  if (!sinceData_) {
    sinceData_.reset(environment_.CreateTimer(kAbandonSilence));
    return;
  }
  if (sinceData_->IsExpired()) resumedAt_ = received_.Length();
  sinceData_->Restart(kAbandonSilence);
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
