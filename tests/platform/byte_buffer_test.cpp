#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/byte_buffer.h"
#include "files/file.h"

namespace {

// A readable file whose size and read outcome the test chooses.
class TFakeReadable : public IFileReadable {
 public:
  TFakeReadable(std::string content, uint32_t claimedSize) : content_(std::move(content)), size_(claimedSize) {}
  int32_t Read(void* buffer, uint32_t count) override {
    const uint32_t n = count < content_.size() ? count : static_cast<uint32_t>(content_.size());
    std::memcpy(buffer, content_.data(), n);
    return static_cast<int32_t>(n);
  }
  int32_t Seek(uint32_t position) override { return static_cast<int32_t>(position); }
  int32_t Tell() override { return 0; }
  uint32_t GetSize() override { return size_; }

 private:
  std::string content_;
  uint32_t size_;
};

TEST(ByteBuffer, ConstructionCopiesTheSourceOrZeroes) {
  const char source[] = {'a', 'b', 'c'};
  EXPECT_EQ(TByteBuffer(3, source).ToString(), "abc");
  EXPECT_EQ(TByteBuffer(3).ToString(), std::string(3, '\0'));
  EXPECT_EQ(TByteBuffer(std::string("xyz")).ToString(), "xyz");
  TByteBuffer empty;
  EXPECT_TRUE(empty.Empty());
  EXPECT_NE(empty.Data(), nullptr);
}

TEST(ByteBuffer, CopiesShareUntilOneOfThemChanges) {
  TByteBuffer original(std::string("abcd"));
  TByteBuffer copy = original;
  EXPECT_EQ(original.ShareCount(), 2u);
  EXPECT_EQ(copy.Data(), original.Data());

  original.Append('e');
  EXPECT_EQ(original.ToString(), "abcde");
  EXPECT_EQ(copy.ToString(), "abcd");
  EXPECT_EQ(copy.ShareCount(), 1u);

  copy.MutableData()[0] = 'X';
  EXPECT_EQ(copy.ToString(), "Xbcd");
  EXPECT_EQ(original.ToString(), "abcde");
}

TEST(ByteBuffer, SubViewsShareTheBlockAndStayWithinTheView) {
  TByteBuffer whole(std::string("0123456789"));
  TByteBuffer middle = whole.Sub(2, 3);
  EXPECT_EQ(middle.ToString(), "234");
  EXPECT_EQ(middle.Data(), whole.Data() + 2);
  EXPECT_EQ(whole.ShareCount(), 2u);
  EXPECT_EQ(whole.Sub(7).ToString(), "789");
  EXPECT_EQ(whole.Sub(8, 100).ToString(), "89");
  EXPECT_TRUE(whole.Sub(10).Empty());
  EXPECT_EQ(middle.Sub(1, 5).ToString(), "34");

  middle.Append('x');  // the shared block must not see this
  EXPECT_EQ(middle.ToString(), "234x");
  EXPECT_EQ(whole.ToString(), "0123456789");
}

TEST(ByteBuffer, RemovingTheFrontKeepsOtherViewsIntact) {
  TByteBuffer buffer(std::string("header:body"));
  TByteBuffer kept = buffer;
  buffer.RemoveFront(7);
  EXPECT_EQ(buffer.ToString(), "body");
  EXPECT_EQ(kept.ToString(), "header:body");
  buffer.RemoveFront(100);
  EXPECT_TRUE(buffer.Empty());
  kept.Clear();
  EXPECT_TRUE(kept.Empty());
  EXPECT_EQ(kept.ShareCount(), 0u);
}

TEST(ByteBuffer, GrowsToTwiceTheCapacityOrTwiceTheAppendedLength) {
  TByteBuffer buffer(4);
  EXPECT_EQ(buffer.Capacity(), 4u);
  buffer.Append('a');
  EXPECT_EQ(buffer.Capacity(), 8u);  // 2 * 4 beats 4 + 2 * 1
  buffer.Append(std::string(10, 'b').data(), 10);
  EXPECT_EQ(buffer.Capacity(), 25u);  // 5 + 2 * 10 beats 2 * 8
  EXPECT_EQ(buffer.Length(), 15u);

  TByteBuffer empty;
  empty.Append("abc", 3);
  EXPECT_EQ(empty.Capacity(), 6u);
}

TEST(ByteBuffer, AUniqueViewReusesItsBlockFromTheStart) {
  TByteBuffer buffer(std::string("abcdef"));
  buffer.RemoveFront(2);
  buffer.Append('g');  // the four remaining bytes move to the front: room for one more
  EXPECT_EQ(buffer.ToString(), "cdefg");
  EXPECT_EQ(buffer.Capacity(), 6u);

  TByteBuffer shared(std::string("abcd"));
  TByteBuffer other = shared;
  shared.Append('e');  // a fresh block of the view's four bytes, then growth
  EXPECT_EQ(shared.Capacity(), 8u);
  EXPECT_EQ(other.Capacity(), 4u);
}

TEST(ByteBuffer, AppendingItsOwnBytesCopiesThemFirst) {
  TByteBuffer buffer(std::string("abc"));
  buffer.Append(buffer);
  EXPECT_EQ(buffer.ToString(), "abcabc");
  buffer.RemoveFront(1);
  buffer.Append(buffer.Sub(0, 2));
  EXPECT_EQ(buffer.ToString(), "bcabcbc");
}

TEST(ByteBuffer, HexIsUpperCaseWithoutSeparators) {
  const uint8_t bytes[] = {0x00, 0x1F, 0xAB, 0xFF, 0x7e};
  EXPECT_EQ(TByteBuffer(sizeof(bytes), bytes).ToHex(), "001FABFF7E");
  EXPECT_EQ(TByteBuffer().ToHex(), "");
}

TEST(ByteBuffer, ReadAllReplacesTheContentWithWhatWasRead) {
  TByteBuffer buffer(std::string("old"));
  TByteBuffer view = buffer;
  TFakeReadable file("new content", 11);
  buffer.ReadAll(file);
  EXPECT_EQ(buffer.ToString(), "new content");
  EXPECT_EQ(view.ToString(), "old");

  TFakeReadable shortRead("cut", 10);
  buffer.ReadAll(shortRead);
  EXPECT_EQ(buffer.ToString(), "cut");

  TFakeReadable emptyFile("", 0);
  buffer.ReadAll(emptyFile);
  EXPECT_EQ(buffer.ToString(), "cut");
}

}  // namespace
