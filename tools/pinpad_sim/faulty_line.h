#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include "files/byte_buffer.h"
#include "net/network.h"
#include "system/io_wait.h"

// What the simulator does wrong on purpose, and what it learns about the
// line while doing it. Shared by every port connection it opens, so that a
// fault asked for once is spent only once even across a reopened link.
struct TLineFaults {
  // DATA frames still to go out with a broken CRC.
  uint32_t badCrcFrames = 0;
  // Acknowledgements still to be swallowed instead of sent.
  uint32_t withheldAcks = 0;
  // Bytes of noise written in front of every frame (never 0xC0, so it lies
  // outside any frame and the far end must drop it).
  uint32_t noiseBytes = 0;

  // Counted for the closing report.
  uint32_t dataFramesSent = 0;
  uint32_t naksReceived = 0;

  // The last DATA frame sent and whether the far end has acknowledged it.
  uint8_t lastDataSequence = 0;
  bool awaitingAck = false;
  std::chrono::steady_clock::time_point lastDataSentAt;

  // True when nothing this side sent is waiting for the far end. The link
  // sends its next frame in the same poll that takes an acknowledgement, so
  // between polls an acknowledged last frame means an empty queue. A frame
  // left unanswered longer than the link waits is lost either way.
  bool LineIsIdle() const;
};

// The serial port as the simulator's link sees it: passes bytes through,
// altering outgoing frames as the faults ask, and watches the frames both
// ways. The link writes each frame with one Send, so Send sees whole frames.
// A wait watches the port beneath.
class TFaultyLine : public IConnection, public IWaitable {
 public:
  // Takes the port; the faults must outlive the line.
  TFaultyLine(IConnection* port, TLineFaults& faults);

  int32_t Send(const void* data, uint32_t length) override;
  int32_t Receive(void* buffer, uint32_t size) override;
  uint32_t GetPeerAddress() override { return port_->GetPeerAddress(); }
  int32_t GetState() override { return port_->GetState(); }
  TResult GetLastResult() override { return port_->GetLastResult(); }
  void Watch(IIoWait& wait, bool readable, bool writable) override;
  void WatchForBytes(IIoWait& wait, size_t count) override;

 private:
  void WriteNoise();
  void Observe(const TByteBuffer& content);

  std::unique_ptr<IConnection> port_;
  TLineFaults& faults_;
  TByteBuffer incoming_;  // escaped bytes of the frame arriving now
  bool inFrame_ = false;
  uint32_t noiseSeed_ = 0x2545F491;
};
