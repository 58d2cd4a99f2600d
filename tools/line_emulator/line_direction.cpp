#include "line_direction.h"
#include <algorithm>

namespace {

constexpr TNanoseconds kSecond = 1'000'000'000;
constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr int kTimeoutCharacters = 4;

}  // namespace

TLineDirection::TLineDirection(const TDirectionSettings& settings)
    : settings_(settings),
      byteTime_(kBitsPerByte * kSecond / settings.baud),
      characterTimeout_(kTimeoutCharacters * byteTime_),
      random_(settings.randomStart) {}

size_t TLineDirection::Room(TNanoseconds now) const {
  if (lineFree_ <= now) return static_cast<size_t>(std::max<TNanoseconds>(1, kLookAhead / byteTime_));
  const TNanoseconds ahead = now + kLookAhead - lineFree_;
  return ahead <= 0 ? 0 : static_cast<size_t>(ahead / byteTime_);
}

TNanoseconds TLineDirection::RoomAt() const { return lineFree_ - kLookAhead + byteTime_; }

TNanoseconds TLineDirection::StartAfterStalls(TNanoseconds start) const {
  bool moved = true;
  while (moved) {
    moved = false;
    for (const TStall& stall : settings_.stalls) {
      if (start >= stall.from && start < stall.from + stall.length) {
        start = stall.from + stall.length;
        moved = true;
      }
    }
  }
  return start;
}

bool TLineDirection::Chance(double rate) {
  if (rate <= 0) return false;
  return std::generate_canonical<double, 32>(random_) < rate;
}

void TLineDirection::Send(const uint8_t* bytes, size_t count, TNanoseconds now) {
  for (size_t i = 0; i < count; ++i) {
    const TNanoseconds start = StartAfterStalls(std::max(lineFree_, now));
    // Times count from the start of the burst, so that the fraction of a
    // nanosecond in a byte time never adds up.
    if (start != lineFree_) {
      burstStart_ = start;
      burstBytes_ = 0;
    }
    ++burstBytes_;
    lineFree_ = burstStart_ + static_cast<TNanoseconds>(burstBytes_ * kBitsPerByte * kSecond / settings_.baud);
    if (Chance(settings_.dropRate)) {
      ++counts_.dropped;
      continue;
    }
    uint8_t byte = bytes[i];
    if (Chance(settings_.flipRate)) {
      byte ^= static_cast<uint8_t>(1u << (random_() % 8));
      ++counts_.flipped;
    }
    onTheLine_.push_back({byte, lineFree_ + settings_.latency});
  }
}

void TLineDirection::HandOver(std::string* out) {
  out->append(fifo_);
  fifo_.clear();
}

void TLineDirection::Receive(TNanoseconds now, std::string* out) {
  while (!onTheLine_.empty() && onTheLine_.front().at <= now) {
    const TArrival arrival = onTheLine_.front();
    onTheLine_.pop_front();
    if (!fifo_.empty() && arrival.at > lastArrival_ + characterTimeout_) HandOver(out);
    fifo_.push_back(static_cast<char>(arrival.byte));
    lastArrival_ = arrival.at;
    if (fifo_.size() >= settings_.fifoDepth) HandOver(out);
  }
  if (!fifo_.empty() && now >= lastArrival_ + characterTimeout_) HandOver(out);
}

TNanoseconds TLineDirection::NextDelivery() const {
  // The FIFO's next hand-over: the byte that fills it, or the first pause
  // of 4 characters after a byte, whichever comes first.
  size_t held = fifo_.size();
  TNanoseconds last = lastArrival_;
  for (const TArrival& arrival : onTheLine_) {
    if (held > 0 && arrival.at > last + characterTimeout_) return last + characterTimeout_;
    ++held;
    last = arrival.at;
    if (held >= settings_.fifoDepth) return last;
  }
  return held > 0 ? last + characterTimeout_ : kNever;
}
