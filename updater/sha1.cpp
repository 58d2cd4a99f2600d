#include "sha1.h"

#include <cstring>

namespace {

void WriteBigEndian(uint32_t value, uint8_t* bytes) {
  bytes[0] = static_cast<uint8_t>(value >> 24);
  bytes[1] = static_cast<uint8_t>(value >> 16);
  bytes[2] = static_cast<uint8_t>(value >> 8);
  bytes[3] = static_cast<uint8_t>(value);
}

}  // namespace

TSha1Blocks ChosenSha1Blocks() {
  static const TSha1Blocks chosen = [] {
    const TSha1Blocks fast = Sha1BlocksWithShaInstructions();
    return fast ? fast : Sha1BlocksPortable;
  }();
  return chosen;
}

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
    blocks_(state_, block_, 1);
  }
  // Whole blocks straight from the input, without copying, all in one call
  // so that the state stays in registers from block to block.
  const size_t whole = length / 64;
  if (whole != 0) blocks_(state_, in, whole);
  in += whole * 64;
  length -= whole * 64;
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
