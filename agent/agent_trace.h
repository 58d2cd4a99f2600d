#pragma once
#include <cstddef>
#include <cstdint>
#include "net/network.h"
#include "system/result.h"

// Why the relay loop closes the PIN pad's port.
enum class TPortClose { Disabled, Stop, DeviceFailed };

// Why the link gave up the frame in flight and everything queued behind it.
enum class TLinkFailure { RetriesExhausted, NoAcknowledgement, WriteFailed };

// Who ended a host connection, and why.
enum class THostClose {
  ByPinpad,       // MSG_CLOSE
  ByHost,         // the host closed, or the connection broke
  ConnectFailed,  // the socket failed before it connected
  WriteFailed,    // the socket refused the PIN pad's data
  HostTooSlow,    // the host took too little of the PIN pad's data
  LinkDown,       // the serial link failed while the host's data went out
  PinpadReset,    // the PIN pad opened its link anew
  Replaced,       // the PIN pad asked anew under the same id
  PortClosed,     // the agent closed the COM port
  LinkReopened,   // this side dropped part of a message and opened its link anew
  MessageLost,    // the PIN pad's link gave up a message in the middle
  FlushTimedOut,  // MSG_CLOSE, but the host did not take the rest in time
};

// What happens on the PIN pad's line and to the connections made for it,
// told as it happens to whoever traces it. The protocol classes call it
// from their hot paths, so an implementation that traces nothing must cost
// no more than the call.
class IAgentTrace {
 public:
  virtual ~IAgentTrace() = default;

  // The relay loop: the switch at every read of agent.ini, the closes it
  // decides, its end.
  virtual void AgentEnabled(bool enabled) = 0;
  // failure: the port's own result when its device failed.
  virtual void PortClosing(uint16_t port, TPortClose why, const TResult& failure) = 0;
  virtual void AgentStops() = 0;

  // Opening the COM port; why is the serial port's own result.
  virtual void PortOpened(uint16_t port) = 0;
  virtual void PortNotOpened(uint16_t port, const TResult& why) = 0;

  // The acknowledged link. A frame is its content: kind, sequence number,
  // payload length, payload and CRC, without delimiters and escapes.
  virtual void ResetSent() = 0;
  virtual void LinkUp() = 0;
  virtual void NakSent(uint8_t sequence) = 0;
  virtual void NakReceived(uint8_t sequence) = 0;
  // transmission: 2 or 3, the frame's how-manieth time on the line.
  virtual void FrameResent(uint8_t sequence, int transmission) = 0;
  virtual void LinkFailed(TLinkFailure why, uint8_t sequence) = 0;
  virtual void Frame(bool sent, const uint8_t* content, size_t length) = 0;

  // The PIN pad's requests and the host connections made for them.
  virtual void ResetReceived() = 0;
  virtual void ConnectAsked(uint32_t id, IpAddress address, uint16_t port) = 0;
  virtual void ListenAsked(uint32_t id, uint16_t port) = 0;
  // code 0: connected; otherwise the failure's result code.
  virtual void StatusSent(uint32_t id, int32_t code) = 0;
  // peer as the connection reports it (the socket layer's byte order).
  virtual void PeerAccepted(uint32_t id, IpAddress peer) = 0;
  // Data for a connection that does not exist, answered MSG_CLOSED.
  virtual void UnknownConnection(uint32_t id) = 0;
  // The far end's link stopped in the middle of a message: the received
  // bytes of it are dropped. id 0 when too little came to tell.
  virtual void MessageAbandoned(uint32_t id, size_t received, size_t length) = 0;
  // Bytes of the PIN pad's that never reached the host.
  virtual void DataUndelivered(uint32_t id, uint64_t bytes) = 0;
  // result: the connection's last result (why the socket failed, when it
  // did); toHost: bytes written to the host; toPinpad: bytes of the host's
  // handed to the link.
  virtual void ConnectionClosed(uint32_t id, THostClose why, const TResult& result, uint64_t toHost,
                                uint64_t toPinpad) = 0;
};

// Traces nothing; where no trace is given. Lives until the process ends.
IAgentTrace& NullAgentTrace();
