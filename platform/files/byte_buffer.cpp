#include "files/byte_buffer.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "files/file.h"

struct TByteBuffer::Block {
  explicit Block(size_t capacityWanted)
      : bytes(capacityWanted ? new uint8_t[capacityWanted] : nullptr), capacity(capacityWanted) {}
  ~Block() { delete[] bytes; }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;

  uint8_t* bytes;
  size_t size = 0;
  size_t capacity;
  uint32_t refs = 1;
};

namespace {
// What an empty view points at, so that Data() is never null.
const uint8_t kNoBytes[1] = {0};
}  // namespace

TByteBuffer::TByteBuffer(size_t n, const void* source) {
  if (n == 0) return;
  block_ = new Block(n);
  if (source) {
    std::memcpy(block_->bytes, source, n);
  } else {
    std::memset(block_->bytes, 0, n);
  }
  block_->size = n;
  length_ = n;
}

TByteBuffer::TByteBuffer(const std::string& text) : TByteBuffer(text.size(), text.data()) {}

TByteBuffer::TByteBuffer(const TByteBuffer& other)
    : block_(other.block_), offset_(other.offset_), length_(other.length_) {
  if (block_) ++block_->refs;
}

TByteBuffer::TByteBuffer(TByteBuffer&& other) noexcept
    : block_(other.block_), offset_(other.offset_), length_(other.length_) {
  other.block_ = nullptr;
  other.offset_ = other.length_ = 0;
}

TByteBuffer& TByteBuffer::operator=(const TByteBuffer& other) {
  if (other.block_) ++other.block_->refs;
  Release();
  block_ = other.block_;
  offset_ = other.offset_;
  length_ = other.length_;
  return *this;
}

TByteBuffer& TByteBuffer::operator=(TByteBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    block_ = other.block_;
    offset_ = other.offset_;
    length_ = other.length_;
    other.block_ = nullptr;
    other.offset_ = other.length_ = 0;
  }
  return *this;
}

TByteBuffer::~TByteBuffer() { Release(); }

void TByteBuffer::Release() {
  if (block_ && --block_->refs == 0) delete block_;
  block_ = nullptr;
  offset_ = length_ = 0;
}

const uint8_t* TByteBuffer::Data() const { return block_ ? block_->bytes + offset_ : kNoBytes; }

uint8_t* TByteBuffer::MutableData() {
  MakeUnique();
  return block_ ? block_->bytes : nullptr;
}

void TByteBuffer::MakeUnique() {
  if (!block_) return;
  if (block_->refs == 1) {
    if (offset_ != 0) std::memmove(block_->bytes, block_->bytes + offset_, length_);
    block_->size = length_;
    offset_ = 0;
    return;
  }
  Block* copy = new Block(length_);
  std::memcpy(copy->bytes, block_->bytes + offset_, length_);
  copy->size = length_;
  --block_->refs;
  block_ = copy;
  offset_ = 0;
}

void TByteBuffer::Reserve(size_t needed, size_t growth) {
  const size_t capacity = Capacity();
  if (needed <= capacity) return;
  const size_t size = block_ ? block_->size : 0;
  Block* grown = new Block(std::max(2 * capacity, size + 2 * growth));
  if (block_) {
    std::memcpy(grown->bytes, block_->bytes, size);
    delete block_;
  }
  grown->size = size;
  block_ = grown;
}

void TByteBuffer::Append(const void* bytes, size_t n) {
  if (n == 0) return;
  const uint8_t* source = static_cast<const uint8_t*>(bytes);
  // Bytes from this very block would move while the view is made unique or
  // grown: take them aside first.
  std::vector<uint8_t> aside;
  if (block_ && std::greater_equal<const uint8_t*>()(source, block_->bytes) &&
      std::less<const uint8_t*>()(source, block_->bytes + block_->capacity)) {
    aside.assign(source, source + n);
    source = aside.data();
  }
  MakeUnique();
  Reserve(length_ + n, n);
  std::memcpy(block_->bytes + length_, source, n);
  length_ += n;
  block_->size = length_;
}

TByteBuffer TByteBuffer::Sub(size_t offset, size_t n) const {
  TByteBuffer view;
  if (offset >= length_) return view;
  view.block_ = block_;
  ++block_->refs;
  view.offset_ = offset_ + offset;
  view.length_ = std::min(n, length_ - offset);
  return view;
}

void TByteBuffer::RemoveFront(size_t n) {
  if (n >= length_) {
    Clear();
    return;
  }
  offset_ += n;
  length_ -= n;
}

void TByteBuffer::Clear() { Release(); }

void TByteBuffer::ReadAll(IFileReadable& file) {
  const uint32_t size = file.GetSize();
  if (size == 0) return;
  TByteBuffer content(size);
  const int32_t read = file.Read(content.block_->bytes, size);
  content.length_ = content.block_->size = read > 0 ? static_cast<size_t>(read) : 0;
  *this = std::move(content);
}

std::string TByteBuffer::ToHex() const {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(2 * length_);
  const uint8_t* bytes = Data();
  for (size_t i = 0; i < length_; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

std::string TByteBuffer::ToString() const {
  return std::string(reinterpret_cast<const char*>(Data()), length_);
}

uint32_t TByteBuffer::ShareCount() const { return block_ ? block_->refs : 0; }

size_t TByteBuffer::Capacity() const { return block_ ? block_->capacity : 0; }
