#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ansi_text.h"
#include "card_texts.h"
#include "decimal_text.h"
#include "log_lines.h"
#include "text_lines.h"
#include "unexpected_error.h"

namespace {

using Lines = std::vector<std::wstring>;

TEST(AnsiText, RussianTextCrossesTheCodePageBothWays) {
  const std::wstring text = L"Ёжик в тумане: АБВ абв ЯЁ яё №1 «—»";
  const std::string ansi = WideToAnsi(text);
  ASSERT_EQ(ansi.size(), text.size());
  EXPECT_EQ(static_cast<unsigned char>(ansi[0]), 0xA8);  // Ё
  EXPECT_EQ(static_cast<unsigned char>(ansi[10]), 0xE0);  // а
  EXPECT_EQ(AnsiToWide(ansi), text);
}

TEST(AnsiText, EveryByteReadsBackAsItself) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(WideToAnsi(AnsiToWide(all)), all);
}

TEST(AnsiText, ACharacterOutsideTheCodePageBecomesAQuestionMark) {
  EXPECT_EQ(WideToAnsi(L"a\u4E2Db"), "a?b");
}

TEST(Utf8Text, ErrorTextsReachTheMessageBoxAsUtf8) {
  const TUnexpectedError error(L"Ошибка A");
  EXPECT_STREQ(error.what(), "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 A");
  EXPECT_EQ(error.Text(), L"Ошибка A");
}

TEST(LogLines, EveryLineBreakStartsALineOfItsOwn) {
  TLogLines log;
  log.Add(L"Ошибка: 5\r\n");
  log.Add(L"");
  log.Add(L"a\rb\nc\r\n\r\nd");
  EXPECT_EQ(log.Lines(), (Lines{L"Ошибка: 5", L"", L"", L"a", L"b", L"c", L"", L"d"}));
  EXPECT_EQ(log.Text(), L"Ошибка: 5\r\n\r\n\r\na\r\nb\r\nc\r\n\r\nd\r\n");
  log.Clear();
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_EQ(log.Text(), L"");
}

TEST(TextLines, AFinalLineBreakClosesTheLastLine) {
  EXPECT_TRUE(SplitLines(std::string()).empty());
  EXPECT_EQ(SplitLines(std::string("a\r\n")), std::vector<std::string>{"a"});
  EXPECT_EQ(SplitLines(std::string("a\n\r")), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(SplitLines(std::string("\r\n")), std::vector<std::string>{""});
}

TEST(DecimalText, IntegersFitThirtyTwoBits) {
  EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt32(" +7\t"), 7);
  for (const char* bad : {"2147483648", "-2147483649", "", "-", " ", "1 2", "1,5", "0x10", "١"}) {
    EXPECT_FALSE(ParseInt32(bad).has_value()) << bad;
  }
}

TEST(DecimalText, RoublesInTheirShortestForm) {
  EXPECT_EQ(FormatRoubles(0, L","), L"0");
  EXPECT_EQ(FormatRoubles(10, L"."), L"0.1");
  EXPECT_EQ(FormatRoubles(-150, L","), L"-1,5");
  EXPECT_EQ(FormatRoubles(INT32_MIN, L","), L"-21474836,48");
}

TEST(CardTexts, ExpiryYearFirstShowsMonthFirst) {
  EXPECT_EQ(FormatExpiry(L"2712"), L"12/27");
  EXPECT_EQ(FormatExpiry(L"271231"), L"31/27");
  EXPECT_EQ(FormatExpiry(L"271"), L"271");
  EXPECT_EQ(FormatCardNumber(L"12345678901234567890"), L"1234 5678 9012 34567890");
}

}  // namespace
