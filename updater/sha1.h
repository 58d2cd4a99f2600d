#pragma once
#include <cstdint>
#include "files/byte_buffer.h"

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

  TSha1() { Init(); }
  void Init() override;
  void Update(const TByteBuffer& bytes) override;
  void Update(const void* bytes, size_t length);
  TByteBuffer Final() override;

  // The digest of bytes in one call.
  static TByteBuffer Digest(const TByteBuffer& bytes);

 private:
  void Compress(const uint8_t* block);

  uint32_t state_[5];
  uint32_t bitsLow_;
  uint32_t bitsHigh_;
  uint8_t block_[64];
};
