#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class IFileReadable;

// A view on a shared, reference-counted block of bytes. Copies share the
// block; a view is made unique (copy on write) before it is changed.
class TByteBuffer {
 public:
  TByteBuffer() = default;
  // n bytes copied from source, or n zero bytes without a source.
  explicit TByteBuffer(size_t n, const void* source = nullptr);
  explicit TByteBuffer(const std::string& text);
  TByteBuffer(const TByteBuffer& other);
  TByteBuffer(TByteBuffer&& other) noexcept;
  TByteBuffer& operator=(const TByteBuffer& other);
  TByteBuffer& operator=(TByteBuffer&& other) noexcept;
  ~TByteBuffer();

  size_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }
  const uint8_t* Data() const;
  uint8_t operator[](size_t i) const { return Data()[i]; }
  // Writable access; makes the view unique first.
  uint8_t* MutableData();

  void Append(const void* bytes, size_t n);
  void Append(const TByteBuffer& other) { Append(other.Data(), other.Length()); }
  void Append(uint8_t byte) { Append(&byte, 1); }
  // A view of at most n bytes from offset, sharing this block.
  TByteBuffer Sub(size_t offset, size_t n = SIZE_MAX) const;
  // Drops the first n bytes of the view.
  void RemoveFront(size_t n);
  void Clear();

  // Reads the whole file (as long as its size says) and makes it the only
  // content; a size of 0 leaves the buffer as it was.
  void ReadAll(IFileReadable& file);
  // Every byte as two upper-case hex digits, no separators.
  std::string ToHex() const;
  std::string ToString() const;

  // For tests and diagnostics: how many views share the block, and its
  // capacity.
  uint32_t ShareCount() const;
  size_t Capacity() const;

 private:
  struct Block;
  void MakeUnique();
  void Reserve(size_t needed, size_t growth);
  void Release();

  Block* block_ = nullptr;
  size_t offset_ = 0;
  size_t length_ = 0;
};
