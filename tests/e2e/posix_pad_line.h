#pragma once
#include <cstdint>
#include <string>
#include "files/byte_buffer.h"
#include "serial_message.h"

// The PIN pad's end of a pseudo-terminal pair, spoken to byte by byte with
// the system's own framing, CRC and message code, so that a test sees every
// frame the agent sends and can send frames the link would never make.
class TPadLine {
 public:
  // Opens a new pair; the agent's end is SlavePath().
  TPadLine();
  ~TPadLine();
  TPadLine(const TPadLine&) = delete;
  TPadLine& operator=(const TPadLine&) = delete;

  const std::string& SlavePath() const { return slavePath_; }

  // The content of the next frame within waitMs; false when none came.
  bool ReadFrame(TByteBuffer* content, int waitMs);
  // True once nobody holds the agent's end open (its reads fail with EIO).
  bool AgentEndClosed(int waitMs);

  void WriteFrame(const TByteBuffer& content);
  // A DATA frame with the given sequence number; its CRC broken on request.
  void WriteData(uint8_t sequence, const TByteBuffer& payload, bool breakCrc = false);

  // An acknowledgement of the agent's DATA frame with this sequence number,
  // whether or not the pad has read that frame.
  void WriteAck(uint8_t sequence);
  // The sequence number of the last DATA frame from the agent acknowledged.
  uint8_t LastDataSequence() const { return lastDataSequence_; }

  // Waits for the agent's opening reset and acknowledges it.
  bool AcceptReset(int waitMs);
  // Sends a message in DATA frames and waits for each acknowledgement.
  bool Send(const TSerialMessage& message, int waitMs);
  // The next message from the agent, acknowledging its frames as they come.
  bool Receive(TSerialMessage* message, int waitMs);

 private:
  bool HandleFrame(const TByteBuffer& content, int* acknowledged);

  int master_ = -1;
  std::string slavePath_;
  TByteBuffer pending_;  // escaped bytes of the frame arriving now
  bool inFrame_ = false;
  uint8_t sequence_ = 0;
  uint8_t lastDataSequence_ = 0;
  TByteBuffer stream_;  // message bytes delivered by the agent's frames
};
