#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include "agent_trace.h"
#include "files/byte_buffer.h"
#include "serial_environment.h"
#include "serial_framer.h"

// The acknowledged link on the serial line: a byte stream each way, carried
// in numbered DATA frames of at most 255 payload bytes with a CRC, one frame
// in flight at a time (stop and wait). The far end answers each DATA frame
// with an ACK, or a NAK when the CRC is wrong; a NAK'd frame goes out again,
// three times at most.
class TSerialLink {
 public:
  // Takes the serial port connection. The environment and the trace must
  // outlive the link.
  TSerialLink(IConnection* port, ISerialEnvironment& environment, IAgentTrace& trace = NullAgentTrace());
  ~TSerialLink();
  TSerialLink(const TSerialLink&) = delete;
  TSerialLink& operator=(const TSerialLink&) = delete;

  // Queues one message for the far end and starts sending it when nothing
  // is in flight; answers whether the link is up afterwards. Nothing is read
  // from the line here: only Poll learns of a failure, so that whoever polls
  // hears of it before anything else is queued. While this side's reopened
  // link waits to be taken (TakeReopened), what is given belongs to the
  // connections it voids and is dropped.
  bool Transmit(const TByteBuffer& bytes);
  // Sends the first frame of a fresh link before anything is read from the
  // line, then holds the link down until the far end answers it. The frame
  // goes out once; only when it could not be written does it go first again
  // with the next message.
  void SendOpening(const TByteBuffer& bytes);
  // Everything the far end delivered since the last call. resumedAt, when
  // given, is where in it the far end's data came again after a silence of
  // kAbandonSilence or more (the far end's link gave up what it was sending
  // meanwhile), or npos.
  TByteBuffer TakeReceived(size_t* resumedAt = nullptr);
  // Whether the far end has opened its link anew since the last call: a
  // DATA frame with sequence 1 that starts with what this side's own
  // opening frame carries. What it sent on its earlier link before that
  // frame is no longer handed out, and what was queued or in flight for
  // that link was dropped when the frame came, so that neither side's
  // stream goes on with half a message of the other link.
  bool TakeFarEndReopened();
  // When the link gives up its frame in flight, what it drops is whole
  // messages for the far end (TakeDropped) only when the far end holds
  // whole messages whether the frame reached it or not. Otherwise the far
  // end may hold half a message, which anything sent after it would
  // continue: the link opens anew instead, with the opening frame given to
  // SendOpening, as when this side starts, and every connection of the link
  // before is void (TakeReopened).
  TByteBuffer TakeDropped();
  bool TakeReopened();
  // Handles at most one incoming frame and the acknowledgement timeout.
  void Poll();
  // Names on the wait what the next Poll would act on: bytes from the far
  // end, and the acknowledgement timeout while more is queued.
  void Watch(IIoWait& wait);
  bool IsDown() const { return down_; }
  // Bytes queued or in flight, not yet acknowledged.
  size_t GetBacklog() const { return queue_.Length() + inFlight_.Length(); }

  // Payload bytes of one DATA frame, and how long the far end has to answer.
  static constexpr size_t kMaxPayload = 255;
  static constexpr uint32_t kAckTimeout = 2000;
  // Frames of one message follow each other as fast as they are
  // acknowledged; a far end that sends none for this long in the middle of
  // a message has given the rest up. Short of kAckTimeout, so that a late
  // look at the line still sees the far end's wait.
  static constexpr uint32_t kAbandonSilence = kAckTimeout * 3 / 4;
  static constexpr size_t kNowhere = static_cast<size_t>(-1);

 private:
  void StartNext();
  void SendInFlight();
  void Acknowledge(uint8_t kind, uint8_t sequence);
  void HandleFrame(const TByteBuffer& frame);
  void NoteData();
  // Gives up the frame in flight and everything queued, tells the trace why,
  // and keeps the far end's stream whole (TakeDropped, TakeReopened).
  void FailBecause(TLinkFailure why);
  // Discards everything queued and in flight and marks the link down until
  // the far end acknowledges a frame or delivers data.
  void Fail();
  void DropOutgoing();
  void Reopen();
  void SendOpeningFrame();
  // The link is up from now on.
  void Confirm();
  bool OpensFarEndLink(uint8_t sequence, const uint8_t* payload, size_t length) const;

  ISerialEnvironment& environment_;
  IAgentTrace& trace_;
  TSerialFramer framer_;
  uint8_t sequence_ = 0;
  uint8_t retriesLeft_ = 0;
  bool down_ = false;
  std::unique_ptr<ITimer> ackTimer_;
  TByteBuffer received_;
  TByteBuffer queue_;
  // The length of each message in the queue, front first, and how much of
  // the front one has gone into frames already.
  std::deque<size_t> queuedMessages_;
  size_t frontTaken_ = 0;
  TByteBuffer inFlight_;
  // Whether the frame in flight begins, and ends, on a message boundary.
  bool inFlightStartsMessage_ = false;
  bool inFlightEndsMessage_ = false;
  TByteBuffer dropped_;
  bool reopened_ = false;
  bool sendingOpening_ = false;
  bool openingUnsent_ = false;
  // Since the far end's last DATA frame; none before the first.
  std::unique_ptr<ITimer> sinceData_;
  size_t resumedAt_ = kNowhere;
  // What an opening frame carries (this side's own, given to SendOpening).
  TByteBuffer opening_;
  bool farEndReopened_ = false;
};
