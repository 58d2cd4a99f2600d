#pragma once
#include <cstdint>
#include "files/byte_buffer.h"
#include "sha1_blocks.h"

// A message digest fed in pieces: Init, any number of Updates, then Final.
class IHashAlgorithm {
 public:
  virtual void Init() = 0;
  virtual void Update(const TByteBuffer& bytes) = 0;
  virtual TByteBuffer Final() = 0;

 protected:
  // Digests are never deleted through the interface.
  ~IHashAlgorithm() = default;
};

// SHA-1 (FIPS 180). Final does not restart the digest: Init before reuse.
class TSha1 final : public IHashAlgorithm {
 public:
  static constexpr size_t kDigestSize = 20;

  // With the fastest block code this processor runs.
  TSha1() : TSha1(ChosenSha1Blocks()) {}
  // With the given block code (tests and benchmarks compare them).
  explicit TSha1(TSha1Blocks blocks) : blocks_(blocks) { Init(); }
  void Init() override;
  void Update(const TByteBuffer& bytes) override;
  void Update(const void* bytes, size_t length);
  TByteBuffer Final() override;

  // The digest of bytes in one call.
  static TByteBuffer Digest(const TByteBuffer& bytes);

 private:
  TSha1Blocks blocks_;
  uint32_t state_[5];
  uint32_t bitsLow_;
  uint32_t bitsHigh_;
  uint8_t block_[64];
};
