#include "sha1_blocks.h"

namespace {

uint32_t RotateLeft(uint32_t value, unsigned bits) { return (value << bits) | (value >> (32 - bits)); }

uint32_t ReadBigEndian(const uint8_t* bytes) {
  return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | uint32_t(bytes[3]);
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

void Sha1BlocksPortable(uint32_t* state, const uint8_t* blocks, size_t count) {
  for (; count > 0; --count, blocks += 64) {
    uint32_t w[16];
    for (int t = 0; t < 16; ++t) w[t] = ReadBigEndian(blocks + 4 * t);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    TwentyRounds<Choose>(a, b, c, d, e, w, 0);
    TwentyRounds<Parity1>(a, b, c, d, e, w, 20);
    TwentyRounds<Majority>(a, b, c, d, e, w, 40);
    TwentyRounds<Parity2>(a, b, c, d, e, w, 60);
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
  }
}
