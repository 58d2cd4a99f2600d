#pragma once
#include <cstddef>
#include <cstdint>

// The SHA-1 compression function over `count` consecutive 64-byte blocks,
// chaining through `state` (the five words of FIPS 180).
using TSha1Blocks = void (*)(uint32_t* state, const uint8_t* blocks, size_t count);

// Plain C++, for every processor.
void Sha1BlocksPortable(uint32_t* state, const uint8_t* blocks, size_t count);

// The x86 SHA instructions, or null when this processor does not have them
// (or is not an x86).
TSha1Blocks Sha1BlocksWithShaInstructions();

// The SHA instructions where the processor has them, the portable code
// otherwise; the processor is asked once.
TSha1Blocks ChosenSha1Blocks();
