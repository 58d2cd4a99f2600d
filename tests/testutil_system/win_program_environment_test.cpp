#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>
#include <string>

#include "locale_texts.h"
#include "program_directory.h"
#include "test_folder.h"

TEST(ProgramDirectory, IsTheFolderOfTheRunningProgramWithItsBackslash) {
  const std::wstring directory = ProgramDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), L'\\');
  EXPECT_TRUE(FileExists(directory + L"testutil_system_tests.exe"));
}

TEST(LocaleTexts, TheDecimalSeparatorIsTheOneNumbersAreWrittenWith) {
  const std::wstring separator = DecimalSeparator();
  ASSERT_FALSE(separator.empty());
  wchar_t formatted[32];
  ASSERT_GT(GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, L"1.5", nullptr, formatted, 32), 0);
  EXPECT_NE(std::wstring(formatted).find(L"1" + separator + L"5"), std::wstring::npos);
}

TEST(LocaleTexts, DatesAreShortAndTimesCarryTheirSeconds) {
  SYSTEMTIME moment = {};
  moment.wYear = 2026;
  moment.wMonth = 12;
  moment.wDay = 7;
  moment.wHour = 14;
  moment.wMinute = 5;
  moment.wSecond = 9;

  // Short dates are numbers only, whatever their order; the long one would
  // name the month or the day.
  const std::wstring date = FormatShortDate(moment);
  EXPECT_NE(date.find(L"12"), std::wstring::npos);
  EXPECT_NE(date.find(L"26"), std::wstring::npos);
  for (const wchar_t c : date) EXPECT_FALSE(std::iswalpha(c)) << "a letter in the short date";
  EXPECT_NE(date.find(L"7"), std::wstring::npos);

  const std::wstring time = FormatLongTime(moment);
  EXPECT_NE(time.find(L"05"), std::wstring::npos);
  EXPECT_NE(time.find(L"09"), std::wstring::npos);

  const TDateTimeTexts now = CurrentDateTimeTexts();
  EXPECT_FALSE(now.date.empty());
  EXPECT_FALSE(now.time.empty());
}
