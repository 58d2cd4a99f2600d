#include "sha1_blocks.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>

// Only this file is compiled for the SHA extensions, and only on functions
// marked so: the rest of the program runs on any x86, and this code runs
// only once the processor has said it has the instructions.
#define TAVO_SHA_TARGET __attribute__((target("sha,sse4.1")))

namespace {

// Four rounds: the message words with E folded into the first (from the
// working variables before the previous four rounds), then the rounds.
template <int Function>
TAVO_SHA_TARGET inline void FourRounds(__m128i& abcd, __m128i& before, __m128i words) {
  const __m128i e = _mm_sha1nexte_epu32(before, words);
  before = abcd;
  abcd = _mm_sha1rnds4_epu32(abcd, e, Function);
}

// The next four words of the message schedule from the last sixteen, which
// move one place on.
TAVO_SHA_TARGET inline __m128i NextWords(__m128i& w0, __m128i& w1, __m128i& w2, __m128i& w3) {
  const __m128i next = _mm_sha1msg2_epu32(_mm_xor_si128(_mm_sha1msg1_epu32(w0, w1), w2), w3);
  w0 = w1;
  w1 = w2;
  w2 = w3;
  w3 = next;
  return next;
}

TAVO_SHA_TARGET void Sha1BlocksSha(uint32_t* state, const uint8_t* blocks, size_t count) {
  // Big-endian words, the first in the highest lane, as the instructions
  // take them.
  const __m128i byteOrder = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; count > 0; --count, blocks += 64) {
    const __m128i abcdBefore = abcd;
    const __m128i eBefore = e;
    __m128i w0 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks)), byteOrder);
    __m128i w1 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16)), byteOrder);
    __m128i w2 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 32)), byteOrder);
    __m128i w3 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 48)), byteOrder);

    __m128i before = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e, w0), 0);
    FourRounds<0>(abcd, before, w1);
    FourRounds<0>(abcd, before, w2);
    FourRounds<0>(abcd, before, w3);
    FourRounds<0>(abcd, before, NextWords(w0, w1, w2, w3));
    for (int i = 0; i < 5; ++i) FourRounds<1>(abcd, before, NextWords(w0, w1, w2, w3));
    for (int i = 0; i < 5; ++i) FourRounds<2>(abcd, before, NextWords(w0, w1, w2, w3));
    for (int i = 0; i < 5; ++i) FourRounds<3>(abcd, before, NextWords(w0, w1, w2, w3));

    e = _mm_sha1nexte_epu32(before, eBefore);
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
