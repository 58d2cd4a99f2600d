#include "line_emulator.h"
#include <algorithm>

TLineEmulator::TLineEmulator(const TDirectionSettings settings[2], ILineEnds& ends)
    : ends_(ends), directions_{TLineDirection(settings[0]), TLineDirection(settings[1])} {}

void TLineEmulator::Run(TNanoseconds end) {
  while (Turn(end)) {
  }
}

bool TLineEmulator::Turn(TNanoseconds end) {
  TNanoseconds now = ends_.Now();
  if (now >= end) return false;
  bool readable[2];
  bool writable[2];
  TNanoseconds until = end;
  for (int from = 0; from < 2; ++from) {
    const int to = 1 - from;
    TLineDirection& direction = directions_[from];
    std::string arrived;
    direction.Receive(now, &arrived);
    const size_t room = kMaxWaiting - std::min(kMaxWaiting, waiting_[to].size());
    if (arrived.size() > room) direction.NoteOverrun(arrived.size() - room);
    waiting_[to].append(arrived, 0, std::min(room, arrived.size()));
    if (!waiting_[to].empty()) {
      const size_t taken =
          ends_.Write(to, reinterpret_cast<const uint8_t*>(waiting_[to].data()), waiting_[to].size());
      waiting_[to].erase(0, taken);
      direction.NoteCarried(taken);
    }
    writable[to] = !waiting_[to].empty();
    readable[from] = direction.Room(now) > 0;
    until = std::min(until, direction.NextDelivery());
    if (!readable[from]) until = std::min(until, direction.RoomAt());
  }
  if (!ends_.Wait(readable, writable, until)) return false;
  now = ends_.Now();
  for (int from = 0; from < 2; ++from) {
    TLineDirection& direction = directions_[from];
    const size_t room = direction.Room(now);
    if (room == 0) continue;
    uint8_t buffer[1024];
    const size_t count = ends_.Read(from, buffer, std::min(room, sizeof buffer));
    direction.Send(buffer, count, now);
  }
  return true;
}
