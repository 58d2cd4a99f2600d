#pragma once
#include <cstdint>
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

  // Queues bytes for the far end and starts sending them when nothing is in
  // flight; answers whether the link is up afterwards.
  bool Transmit(const TByteBuffer& bytes);
  // Sends the first frame of a fresh link before anything is read from the
  // line, then holds the link down until the far end answers it.
  void SendOpening(const TByteBuffer& bytes);
  // Everything the far end delivered since the last call.
  TByteBuffer TakeReceived();
  // Whether the far end has opened its link anew since the last call: a
  // DATA frame with sequence 1 that starts with what this side's own
  // opening frame carries. What it sent on its earlier link before that
  // frame is no longer handed out, and what was queued or in flight for
  // that link was dropped when the frame came, so that neither side's
  // stream goes on with half a message of the other link.
  bool TakeFarEndReopened();
  // Handles at most one incoming frame and the acknowledgement timeout.
  void Poll();
  // Names on the wait what the next Poll would act on: bytes from the far
  // end, and the acknowledgement timeout while more is queued.
  void Watch(IIoWait& wait);
  // Discards everything queued and in flight and marks the link down until
  // the far end acknowledges a frame or delivers data.
  void Fail();
  bool IsDown() const { return down_; }
  // Bytes queued or in flight, not yet acknowledged.
  size_t GetBacklog() const { return queue_.Length() + inFlight_.Length(); }

  // Payload bytes of one DATA frame, and how long the far end has to answer.
  static constexpr size_t kMaxPayload = 255;
  static constexpr uint32_t kAckTimeout = 2000;

 private:
  void StartNext();
  void SendInFlight();
  void Acknowledge(uint8_t kind, uint8_t sequence);
  void HandleFrame(const TByteBuffer& frame);
  // Fail, and tell the trace why.
  void FailBecause(TLinkFailure why);
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
  TByteBuffer inFlight_;
  // What an opening frame carries (this side's own, given to SendOpening).
  TByteBuffer opening_;
  bool farEndReopened_ = false;
};
