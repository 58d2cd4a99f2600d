#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sha1.h"

namespace {

std::string Hex(const std::string& message) { return TSha1::Digest(TByteBuffer(message)).ToHex(); }

TEST(Sha1, StandardVectors) {
  EXPECT_EQ(Hex(""), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
  EXPECT_EQ(Hex("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
  EXPECT_EQ(Hex(std::string(1000000, 'a')), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

// Lengths around the point where the padding no longer fits the last block.
TEST(Sha1, LengthsAroundTheBlockEnd) {
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
TEST(Sha1, PiecesGiveTheOneShotDigest) {
  std::string message;
  for (int i = 0; i < 200; ++i) message += static_cast<char>(i * 7 + 3);
  const std::string whole = Hex(message);
  for (size_t cut = 0; cut <= message.size(); ++cut) {
    TSha1 sha;
    sha.Init();
    sha.Update(TByteBuffer(message.substr(0, cut)));
    sha.Update(TByteBuffer());
    // A view into a larger block must hash only its own bytes.
    sha.Update(TByteBuffer("xx" + message + "yy").Sub(2 + cut, message.size() - cut));
    ASSERT_EQ(sha.Final().ToHex(), whole) << "cut at " << cut;
  }

  TSha1 sha;
  for (size_t at = 0, piece = 1; at < 1000000; at += piece, piece = piece * 3 % 191 + 1) {
    sha.Update(TByteBuffer(std::string(std::min<size_t>(piece, 1000000 - at), 'a')));
  }
  EXPECT_EQ(sha.Final().ToHex(), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

TEST(Sha1, InitStartsAFreshDigestAfterFinal) {
  TSha1 sha;
  sha.Update(TByteBuffer(std::string("a")));
  sha.Update(TByteBuffer(std::string("bc")));
  const TByteBuffer first = sha.Final();
  EXPECT_EQ(first.Length(), TSha1::kDigestSize);
  EXPECT_EQ(first.ToHex(), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  sha.Init();
  sha.Update(TByteBuffer(std::string("abc")));
  EXPECT_EQ(sha.Final().ToHex(), first.ToHex());
}

}  // namespace
