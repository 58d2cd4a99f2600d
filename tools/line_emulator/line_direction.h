#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

// Time on the emulator's steady clock, in nanoseconds.
using TNanoseconds = int64_t;
constexpr TNanoseconds kNever = INT64_MAX;

// A while during which a direction carries nothing: bytes due to start then
// start when it ends.
struct TStall {
  TNanoseconds from = 0;
  TNanoseconds length = 0;
};

// How one direction of the line behaves.
struct TDirectionSettings {
  uint32_t baud = 115200;  // at least 50
  // Bytes the receiving UART collects before it hands them over; at least 1.
  uint32_t fifoDepth = 16;
  // Added to every byte between the line and the receiver.
  TNanoseconds latency = 0;
  // The chance that a byte arrives with one bit flipped, or not at all.
  double flipRate = 0;
  double dropRate = 0;
  std::vector<TStall> stalls;
  uint32_t randomStart = 1;
};

// What a direction has done, for the report at the end.
struct TDirectionCounts {
  uint64_t carried = 0;  // taken by the program at the receiving end
  uint64_t flipped = 0;
  uint64_t dropped = 0;
  uint64_t overrun = 0;  // lost because the receiver took nothing
};

// One direction of a serial line at 8N1: every byte takes 10 bit times on
// the line, one after the other, so the line carries baud / 10 bytes a
// second. The receiving side is a UART with a small FIFO: it hands bytes
// over when the FIFO is full, or once no byte has come for 4 character
// times, as a 16550 does. The schedule is kept in absolute times from the
// moment each byte was sent, so however late the caller looks, the pace
// never drifts.
class TLineDirection {
 public:
  explicit TLineDirection(const TDirectionSettings& settings);

  TNanoseconds ByteTime() const { return byteTime_; }
  // How many bytes the sending UART takes now: enough to keep the line busy
  // a little ahead, so that a late look does not leave it idle; the rest
  // waits with the sender, as in its driver's buffer.
  size_t Room(TNanoseconds now) const;
  // When Room next grows, while it is 0.
  TNanoseconds RoomAt() const;
  // Puts the bytes on the line behind those already there.
  void Send(const uint8_t* bytes, size_t count, TNanoseconds now);
  // Appends what the receiving UART has handed over by now.
  void Receive(TNanoseconds now, std::string* out);
  // When Receive next hands something over; kNever while nothing is due.
  TNanoseconds NextDelivery() const;
  void NoteCarried(size_t count) { counts_.carried += count; }
  void NoteOverrun(size_t count) { counts_.overrun += count; }
  const TDirectionCounts& Counts() const { return counts_; }

  // How far ahead the line is kept busy.
  static constexpr TNanoseconds kLookAhead = 20'000'000;

 private:
  struct TArrival {
    uint8_t byte;
    TNanoseconds at;
  };
  // The start of a byte due at the moment, pushed past any stall.
  TNanoseconds StartAfterStalls(TNanoseconds start) const;
  void HandOver(std::string* out);
  bool Chance(double rate);

  TDirectionSettings settings_;
  TNanoseconds byteTime_;
  TNanoseconds characterTimeout_;
  // When the last byte sent leaves the line, and the burst of bytes sent
  // back to back that it ends.
  TNanoseconds lineFree_ = 0;
  TNanoseconds burstStart_ = 0;
  uint64_t burstBytes_ = 0;
  std::deque<TArrival> onTheLine_;
  std::string fifo_;
  TNanoseconds lastArrival_ = 0;
  TDirectionCounts counts_;
  std::mt19937 random_;
};
