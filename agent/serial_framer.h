#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include "files/byte_buffer.h"
#include "net/network.h"
#include "system/io_wait.h"

// Frame delimiting and byte stuffing on the PIN pad's serial line: a frame is
// 0xC0, the escaped content, 0xC0; inside it 0xC0 travels as 0xDB 0xDC and
// 0xDB as 0xDB 0xDD. Every delimiter ends what came before it and opens the
// next frame.
class TSerialFramer {
 public:
  // Takes the serial port connection; destroying the framer closes the port.
  explicit TSerialFramer(IConnection* port);
  ~TSerialFramer();
  TSerialFramer(const TSerialFramer&) = delete;
  TSerialFramer& operator=(const TSerialFramer&) = delete;

  // Reads the port one byte per call until a frame is complete or no byte is
  // waiting; true with the un-escaped content when a frame was completed.
  bool ReadFrame(TByteBuffer* content);
  // Writes the content as one frame in a single Send; true when the port
  // took all of it.
  bool WriteFrame(const uint8_t* content, size_t length);
  // Names the port on the wait, to wake it when the frame under way can
  // be complete, or when the next one starts. A port that cannot be watched
  // leaves the wait to its time limit.
  void Watch(IIoWait& wait);
  // The fewest bytes still to come on the line before the frame being
  // collected can end (its closing delimiter included): escapes only make
  // a frame longer. 0 when no frame is under way.
  size_t BytesToFrameEnd() const;

  // The frame on the line for a content, delimiters included.
  static TByteBuffer Escape(const uint8_t* content, size_t length);
  // The content of the bytes collected between two delimiters. A broken
  // escape (0xDB before anything but 0xDC, 0xDD or 0xDB) loses both bytes.
  static TByteBuffer Unescape(const TByteBuffer& raw);

  // The longest frame worth collecting: the largest link frame (260 bytes)
  // with every byte escaped. Anything longer is line noise; it is dropped
  // and the framer waits for the next delimiter, so noise cannot grow memory.
  static constexpr size_t kMaxRawFrame = 2 * 260;

 private:
  std::unique_ptr<IConnection> port_;
  bool inFrame_ = false;
  TByteBuffer raw_;
};
