#include "sha1_blocks.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>

// Only this file is compiled for the SHA extensions, and only on functions
// marked so: the rest of the program runs on any x86, and this code runs
// only once the processor has said it has the instructions.
#define TAVO_SHA_TARGET __attribute__((target("sha,sse4.1")))

namespace {

// Four rounds g (rounds 4g to 4g + 3), then the rest, unrolled at compile
// time so that the sixteen schedule words stay in registers under fixed
// names: words[g % 4] holds the four words of rounds 4g to 4g + 3, made from
// the four groups before it once g reaches 4. E is folded into the words
// from the working variables of two groups back (`before`).
template <int Group>
TAVO_SHA_TARGET inline void RoundsFrom(__m128i& abcd, __m128i& before, __m128i e, __m128i (&words)[4]) {
  if constexpr (Group < 20) {
    __m128i& current = words[Group % 4];
    if constexpr (Group >= 4) {
      current = _mm_sha1msg2_epu32(
          _mm_xor_si128(_mm_sha1msg1_epu32(current, words[(Group + 1) % 4]), words[(Group + 2) % 4]),
          words[(Group + 3) % 4]);
    }
    const __m128i withE = Group == 0 ? _mm_add_epi32(e, current) : _mm_sha1nexte_epu32(before, current);
    before = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, withE, Group / 5);
    RoundsFrom<Group + 1>(abcd, before, e, words);
  }
}

TAVO_SHA_TARGET void Sha1BlocksSha(uint32_t* state, const uint8_t* blocks, size_t count) {
  // Big-endian words, the first in the highest lane, as the instructions
  // take them.
  const __m128i byteOrder = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; count > 0; --count, blocks += 64) {
    __m128i words[4];
    for (int i = 0; i < 4; ++i) {
      words[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteOrder);
    }
    const __m128i abcdBefore = abcd;
    __m128i before = abcd;
    RoundsFrom<0>(abcd, before, e, words);
    e = _mm_sha1nexte_epu32(before, e);
    abcd = _mm_add_epi32(abcd, abcdBefore);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e, 3));
}

bool ProcessorHasShaInstructions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool ssse3 = (c & bit_SSSE3) != 0;
  const bool sse41 = (c & bit_SSE4_1) != 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  const bool sha = (b & bit_SHA) != 0;
  return ssse3 && sse41 && sha;
}

}  // namespace

TSha1Blocks Sha1BlocksWithShaInstructions() { return ProcessorHasShaInstructions() ? Sha1BlocksSha : nullptr; }

#else

TSha1Blocks Sha1BlocksWithShaInstructions() { return nullptr; }

#endif
