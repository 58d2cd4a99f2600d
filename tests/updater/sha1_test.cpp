#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "sha1.h"

namespace {

// Every test runs on each block code: the portable one, and the processor's
// SHA instructions where it has them.
class Sha1 : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    blocks_ = GetParam() ? Sha1BlocksWithShaInstructions() : Sha1BlocksPortable;
    if (blocks_ == nullptr) GTEST_SKIP() << "this processor has no SHA instructions";
  }
  std::string Hex(const std::string& message) const {
    TSha1 sha(blocks_);
    sha.Update(message.data(), message.size());
    return sha.Final().ToHex();
  }

  TSha1Blocks blocks_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(BlockCode, Sha1, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& which) {
                           return which.param ? "ShaInstructions" : "Portable";
                         });

TEST_P(Sha1, StandardVectors) {
  EXPECT_EQ(Hex(""), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
  EXPECT_EQ(Hex("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
  EXPECT_EQ(Hex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
                "mnopqrstnopqrstu"),
            "A49B2446A02C645BF419F995B67091253A04A259");
  EXPECT_EQ(Hex(std::string(1000000, 'a')), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

// Lengths around the point where the padding no longer fits the last block.
TEST_P(Sha1, LengthsAroundTheBlockEnd) {
  const struct {
    size_t length;
    const char* digest;
  } cases[] = {
      {55, "C1C8BBDC22796E28C0E15163D20899B65621D65A"},
      {56, "C2DB330F6083854C99D4B5BFB6E8F29F201BE699"},
      {63, "03F09F5B158A7A8CDAD920BDDC29B81C18A551F5"},
      {64, "0098BA824B5C16427BD7A1122A5A442A25EC644D"},
      {65, "11655326C708D70319BE2610E8A57D9A5B959D3B"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(std::string(c.length, 'a')), c.digest) << c.length << " bytes";
}

// Any cut of the message, including empty pieces and pieces that straddle
// block ends, gives the one-shot digest.
TEST_P(Sha1, PiecesGiveTheOneShotDigest) {
  std::string message;
  for (int i = 0; i < 200; ++i) message += static_cast<char>(i * 7 + 3);
  const std::string whole = Hex(message);
  for (size_t cut = 0; cut <= message.size(); ++cut) {
    TSha1 sha(blocks_);
    sha.Init();
    sha.Update(TByteBuffer(message.substr(0, cut)));
    sha.Update(TByteBuffer());
    // A view into a larger block must hash only its own bytes.
    sha.Update(TByteBuffer("xx" + message + "yy").Sub(2 + cut, message.size() - cut));
    ASSERT_EQ(sha.Final().ToHex(), whole) << "cut at " << cut;
  }

  TSha1 sha(blocks_);
  for (size_t at = 0, piece = 1; at < 1000000; at += piece, piece = piece * 3 % 191 + 1) {
    sha.Update(TByteBuffer(std::string(std::min<size_t>(piece, 1000000 - at), 'a')));
  }
  EXPECT_EQ(sha.Final().ToHex(), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

TEST_P(Sha1, InitStartsAFreshDigestAfterFinal) {
  TSha1 sha(blocks_);
  sha.Update(TByteBuffer(std::string("a")));
  sha.Update(TByteBuffer(std::string("bc")));
  const TByteBuffer first = sha.Final();
  EXPECT_EQ(first.Length(), TSha1::kDigestSize);
  EXPECT_EQ(first.ToHex(), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  sha.Init();
  sha.Update(TByteBuffer(std::string("abc")));
  EXPECT_EQ(sha.Final().ToHex(), first.ToHex());
}

// The two block codes agree on random messages of random lengths fed in
// random pieces, and a plain TSha1 uses the SHA instructions wherever the
// processor has them.
TEST(Sha1BlockCodes, AgreeOnRandomMessagesAndTheFastOneIsChosen) {
  const TSha1Blocks fast = Sha1BlocksWithShaInstructions();
  EXPECT_EQ(ChosenSha1Blocks(), fast ? fast : Sha1BlocksPortable);
  if (fast == nullptr) GTEST_SKIP() << "this processor has no SHA instructions";
  std::mt19937 random(20240611);
  std::string message(70000, '\0');
  for (char& byte : message) byte = static_cast<char>(random());
  for (int round = 0; round < 300; ++round) {
    const size_t length = round < 150 ? random() % 300 : random() % message.size();
    const size_t offset = random() % (message.size() - length + 1);
    TSha1 portable(Sha1BlocksPortable);
    TSha1 instructions(fast);
    for (size_t at = 0; at < length;) {
      const size_t piece = std::min<size_t>(length - at, random() % 3 == 0 ? random() % 70 : random() % 9000);
      portable.Update(message.data() + offset + at, piece);
      instructions.Update(message.data() + offset + at, piece);
      at += piece;
    }
    ASSERT_EQ(instructions.Final().ToHex(), portable.Final().ToHex()) << length << " bytes from " << offset;
  }
}

}  // namespace
