#include "sha1.h"

#include <cstring>

namespace {

uint32_t RotateLeft(uint32_t value, unsigned bits) { return (value << bits) | (value >> (32 - bits)); }

uint32_t ReadBigEndian(const uint8_t* bytes) {
  return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | uint32_t(bytes[3]);
}

void WriteBigEndian(uint32_t value, uint8_t* bytes) {
  bytes[0] = static_cast<uint8_t>(value >> 24);
  bytes[1] = static_cast<uint8_t>(value >> 16);
  bytes[2] = static_cast<uint8_t>(value >> 8);
  bytes[3] = static_cast<uint8_t>(value);
}

// The four round functions with their constants.
struct Choose {
  static constexpr uint32_t kConstant = 0x5A827999u;
  static uint32_t F(uint32_t b, uint32_t c, uint32_t d) { return d ^ (b & (c ^ d)); }
};
struct Parity1 {
  static constexpr uint32_t kConstant = 0x6ED9EBA1u;
  static uint32_t F(uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; }
};
struct Majority {
  static constexpr uint32_t kConstant = 0x8F1BBCDCu;
  static uint32_t F(uint32_t b, uint32_t c, uint32_t d) { return (b & c) | (d & (b | c)); }
};
struct Parity2 {
  static constexpr uint32_t kConstant = 0xCA62C1D6u;
  static uint32_t F(uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; }
};

template <typename Function>
inline void Round(uint32_t a, uint32_t& b, uint32_t c, uint32_t d, uint32_t& e, uint32_t word) {
  e += RotateLeft(a, 5) + Function::F(b, c, d) + Function::kConstant + word;
  b = RotateLeft(b, 30);
}

// The message schedule word of round t, kept as a rolling window of sixteen:
// a full table of eighty costs memory traffic for nothing.
inline uint32_t Word(uint32_t* w, int t) {
  if (t < 16) return w[t];
  uint32_t& slot = w[t & 15];
  slot = RotateLeft(w[(t - 3) & 15] ^ w[(t - 8) & 15] ^ w[(t - 14) & 15] ^ slot, 1);
  return slot;
}

// Five rounds a turn, each naming the working variables one place on, so
// that nothing is shifted between rounds; after five the names are back.
template <typename Function>
inline void TwentyRounds(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t& e, uint32_t* w,
                         int first) {
  for (int t = first; t < first + 20; t += 5) {
    Round<Function>(a, b, c, d, e, Word(w, t));
    Round<Function>(e, a, b, c, d, Word(w, t + 1));
    Round<Function>(d, e, a, b, c, Word(w, t + 2));
    Round<Function>(c, d, e, a, b, Word(w, t + 3));
    Round<Function>(b, c, d, e, a, Word(w, t + 4));
  }
}

}  // namespace

void TSha1::Init() {
  state_[0] = 0x67452301u;
  state_[1] = 0xEFCDAB89u;
  state_[2] = 0x98BADCFEu;
  state_[3] = 0x10325476u;
  state_[4] = 0xC3D2E1F0u;
  bitsLow_ = 0;
  bitsHigh_ = 0;
  std::memset(block_, 0, sizeof(block_));
}

void TSha1::Update(const TByteBuffer& bytes) { Update(bytes.Data(), bytes.Length()); }

void TSha1::Update(const void* bytes, size_t length) {
  if (length == 0) return;
  const uint8_t* in = static_cast<const uint8_t*>(bytes);
  // Bytes already waiting in the block buffer, before this piece is counted.
  size_t used = (bitsLow_ >> 3) & 63;
  const uint64_t added = uint64_t(length) << 3;
  const uint32_t oldLow = bitsLow_;
  bitsLow_ += static_cast<uint32_t>(added);
  bitsHigh_ += static_cast<uint32_t>(added >> 32) + (bitsLow_ < oldLow ? 1 : 0);

  if (used != 0) {
    const size_t take = length < 64 - used ? length : 64 - used;
    std::memcpy(block_ + used, in, take);
    used += take;
    in += take;
    length -= take;
    if (used < 64) return;
    Compress(block_);
  }
  // Whole blocks straight from the input, without copying.
  for (; length >= 64; in += 64, length -= 64) Compress(in);
  if (length != 0) std::memcpy(block_, in, length);
}

TByteBuffer TSha1::Final() {
  // The length is taken before padding, which must not count.
  uint8_t length[8];
  WriteBigEndian(bitsHigh_, length);
  WriteBigEndian(bitsLow_, length + 4);
  const size_t used = (bitsLow_ >> 3) & 63;
  // 0x80, then zeros up to 56 bytes into a block (into the next block when
  // fewer than nine bytes are left in this one), then the length.
  static const uint8_t kPadding[64] = {0x80};
  Update(kPadding, used < 56 ? 56 - used : 120 - used);
  Update(length, sizeof(length));

  TByteBuffer digest(kDigestSize);
  uint8_t* out = digest.MutableData();
  for (int i = 0; i < 5; ++i) WriteBigEndian(state_[i], out + 4 * i);
  return digest;
}

TByteBuffer TSha1::Digest(const TByteBuffer& bytes) {
  TSha1 sha;
  sha.Update(bytes);
  return sha.Final();
}

void TSha1::Compress(const uint8_t* block) {
  uint32_t w[16];
  for (int t = 0; t < 16; ++t) w[t] = ReadBigEndian(block + 4 * t);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
  TwentyRounds<Choose>(a, b, c, d, e, w, 0);
  TwentyRounds<Parity1>(a, b, c, d, e, w, 20);
  TwentyRounds<Majority>(a, b, c, d, e, w, 40);
  TwentyRounds<Parity2>(a, b, c, d, e, w, 60);
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
}
