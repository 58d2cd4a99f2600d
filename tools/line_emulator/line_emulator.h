#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include "line_direction.h"

// The two ends of the emulated line as the operating system offers them:
// end 0 is "a", end 1 is "b". What a program writes into one end is read
// here and carried to the other.
class ILineEnds {
 public:
  virtual ~ILineEnds() = default;
  virtual TNanoseconds Now() = 0;
  // Sleeps until an end asked for in readable has bytes written into it,
  // one asked for in writable can take bytes, the time until has come, or
  // the emulator is told to stop; false on a stop.
  virtual bool Wait(const bool readable[2], const bool writable[2], TNanoseconds until) = 0;
  // What was written into the end, up to size bytes; 0 when nothing was.
  virtual size_t Read(int end, uint8_t* buffer, size_t size) = 0;
  // Hands bytes to the program reading at the end; the count it took.
  virtual size_t Write(int end, const uint8_t* bytes, size_t size) = 0;
};

// Carries bytes between the ends at the pace of a serial line, each
// direction on its own.
class TLineEmulator {
 public:
  // settings[0] rules the bytes from a to b, settings[1] those from b to a.
  TLineEmulator(const TDirectionSettings settings[2], ILineEnds& ends);
  // Carries bytes until the ends are told to stop or the time end has come.
  void Run(TNanoseconds end = kNever);
  const TLineDirection& From(int end) const { return directions_[end]; }

  // What waits for a receiver that takes nothing; beyond it bytes are lost
  // as a UART loses them on overrun.
  static constexpr size_t kMaxWaiting = 4096;

 private:
  // One look at both ends: hands over what has arrived, then waits.
  bool Turn(TNanoseconds end);

  ILineEnds& ends_;
  TLineDirection directions_[2];
  std::string waiting_[2];  // arrived, not yet taken by the program at that end
};
