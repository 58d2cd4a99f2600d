#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pinpad_reply.h"

namespace {

using Lines = std::vector<std::wstring>;

TEST(PinpadReply, CommandsGoOutAsTextBetweenStxAndTwoEtx) {
  EXPECT_EQ(PinpadRequestFrame(kStatusCommand), std::string("\x02" "A20000A0\x03\x03"));
  EXPECT_EQ(PinpadRequestFrame(DeleteKeyCommand(PinpadKey::Pin)), std::string("\x02" "E9010000EA\x03\x03"));
  EXPECT_EQ(PinpadRequestFrame(DeleteKeyCommand(PinpadKey::Mac)), std::string("\x02" "E9010001EB\x03\x03"));
}

TEST(DecodeHexReply, PairsBetweenTheFirstAndTheLastByte) {
  EXPECT_EQ(DecodeHexReply("\x02" "0102\x03"), std::string("\x01\x02"));
  EXPECT_EQ(DecodeHexReply("\x02" "0102\x03\x03"), std::string("\x01\x02"));
  EXPECT_EQ(DecodeHexReply("\x02" "aBfF\x03"), std::string("\xAB\xFF"));
  EXPECT_EQ(DecodeHexReply(""), std::string());
  EXPECT_EQ(DecodeHexReply("\x02"), std::string());
  EXPECT_EQ(DecodeHexReply("\x02" "01"), std::string());
}

TEST(DecodeHexReply, ACharacterThatIsNoHexDigitFailsTheExchange) {
  EXPECT_FALSE(DecodeHexReply("\x02" "01G2\x03").has_value());
  EXPECT_FALSE(DecodeHexReply("\x02" "0 \x03").has_value());
  // Characters that are never decoded are never checked.
  EXPECT_TRUE(DecodeHexReply("\x02" "01Z\x03").has_value());
}

TEST(ExtractSerialNumber, KeepsDigitsAndTheLettersOfSerialNumbersButTheLast) {
  EXPECT_EQ(ExtractSerialNumber("12Axb9"), L"12Ab");
  EXPECT_EQ(ExtractSerialNumber("gKkDdC-0"), L"gKkDd");
  EXPECT_EQ(ExtractSerialNumber("7"), L"");
  EXPECT_EQ(ExtractSerialNumber(""), L"");
}

// Sixteen bytes in front of the key bytes; only the serial number's own
// characters among them survive.
std::string StatusReply(const std::string& keys) { return "SN0012345678Xyz-" + keys; }

TEST(KeyStatusLines, AbsentKeysReadAsLetterC) {
  EXPECT_EQ(KeyStatusLines(StatusReply("ccx!")),
            (Lines{L"S/N: 0012345678", L"", L"PIN: НЕТ", L"MAC: НЕТ", L"KLK: ЕСТЬ"}));
  EXPECT_EQ(KeyStatusLines(StatusReply(std::string("\x00\x01" "C", 3))),
            (Lines{L"S/N: 0012345678", L"", L"PIN: ЕСТЬ", L"MAC: ЕСТЬ", L"KLK: ЕСТЬ"}));
}

TEST(KeyStatusLines, AShortReplyShowsOnlyTheKeysItHolds) {
  EXPECT_EQ(KeyStatusLines(StatusReply("c")), (Lines{L"S/N: 0012345678", L"", L"PIN: НЕТ"}));
  EXPECT_EQ(KeyStatusLines(StatusReply("cc")), (Lines{L"S/N: 0012345678", L"", L"PIN: НЕТ", L"MAC: НЕТ"}));
  EXPECT_EQ(KeyStatusLines(std::string("12")), (Lines{L"S/N: 1", L""}));
}

TEST(KeyStatusLines, NoReplyIsAPortError) {
  const Lines portError{L"Ошибка открытия порта. Проверьте настройки COM порта"};
  EXPECT_EQ(KeyStatusLines(std::nullopt), portError);
  EXPECT_EQ(KeyStatusLines(std::string()), portError);
}

TEST(KeyDeletionText, OnlyTheExactAcknowledgementDeletes) {
  const std::string acknowledged("\x00\x00\x00\x02", 4);
  EXPECT_EQ(KeyDeletionText(PinpadKey::Pin, acknowledged), L"Ключ PIN удален");
  EXPECT_EQ(KeyDeletionText(PinpadKey::Mac, acknowledged), L"Ключ MAC удален");
  const std::wstring failure = L"Не удалось удалить ключ. Проверьте настройки COM порта";
  EXPECT_EQ(KeyDeletionText(PinpadKey::Pin, acknowledged + '\x00'), failure);
  EXPECT_EQ(KeyDeletionText(PinpadKey::Pin, std::string("\x00\x00\x02", 3)), failure);
  EXPECT_EQ(KeyDeletionText(PinpadKey::Pin, std::nullopt), failure);
}

}  // namespace
