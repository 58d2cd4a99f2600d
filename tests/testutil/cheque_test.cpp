#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ansi_text.h"
#include "cheque_archive.h"
#include "cheque_text.h"
#include "log_lines.h"
#include "memory_file_store.h"

namespace {

using Lines = std::vector<std::wstring>;

TEST(CleanChequeText, AFirstLineLongerThanTheSecondLosesItsStart) {
  EXPECT_EQ(CleanChequeText(L"\x1B\x1B  ООО Ромашка\r\nКасса 1\r\nИтог"), L"Ромашка\r\nКасса 1\r\nИтог\r\n");
  EXPECT_EQ(CleanChequeText(L"Длинная первая\r\nвторая"), L"Длинная первая\r\nвторая\r\n");
  EXPECT_EQ(CleanChequeText(L"ab\ncdef\nx"), L"ab\r\ncdef\r\nx\r\n");
}

TEST(CleanChequeText, TrailingEmptyAndSingleBlankLinesGo) {
  EXPECT_EQ(CleanChequeText(L"a\r\nb\r\n \r\n\r\n \n"), L"a\r\nb\r\n");
  EXPECT_EQ(CleanChequeText(L"a\r\n  \r\n"), L"a\r\n  \r\n");
  EXPECT_EQ(CleanChequeText(L" \r\n\r\n"), L"");
  EXPECT_EQ(CleanChequeText(L""), L"");
}

TEST(SanitizeFolderName, KeepsLettersAndDropsWhatAFolderNameCannotHold) {
  EXPECT_EQ(SanitizeFolderName(L"  \tООО \"Ромашка\"\r "), L"ООО Ромашка");
  EXPECT_EQ(SanitizeFolderName(L"Дата: 07/12/2026 <*?|\\>"), L"Дата 07122026");
  EXPECT_EQ(SanitizeFolderName(L"Итог\tсумма"), L"Итогсумма");
  EXPECT_EQ(SanitizeFolderName(L" : "), L"");
}

TEST(SanitizeFolderName, DotsAloneNeverLeaveTheArchive) {
  EXPECT_EQ(SanitizeFolderName(L".."), L"Без названия");
  EXPECT_EQ(SanitizeFolderName(L" ./. "), L"Без названия");
  EXPECT_EQ(SanitizeFolderName(L"ООО ..."), L"ООО");
}

// Windows would create these folders under another name (or open a device),
// and the path of the next level would then lead nowhere.
TEST(SanitizeFolderName, GivesNamesWindowsKeepsAsWritten) {
  EXPECT_EQ(SanitizeFolderName(L"ИП Иванов :"), L"ИП Иванов");
  EXPECT_EQ(SanitizeFolderName(L"ТЕСТБАНК ***"), L"ТЕСТБАНК");
  EXPECT_EQ(SanitizeFolderName(L"* Касса 1. ?"), L"Касса 1");
  EXPECT_EQ(SanitizeFolderName(L"***"), L"");
  EXPECT_EQ(SanitizeFolderName(L". :"), L"Без названия");
  for (const wchar_t* device : {L"con", L"Nul:", L"PRN", L"aux.txt", L"COM7", L"lpt1 .log", L"CONIN$"}) {
    const std::wstring name = SanitizeFolderName(device);
    EXPECT_EQ(name.substr(0, 2), L"_" + std::wstring(1, device[0])) << device;
  }
  for (const wchar_t* name : {L"COM10", L"CONSOLE", L"NULL.txt", L"LPTX", L"Ком1"}) {
    EXPECT_EQ(SanitizeFolderName(name), name);
  }
  const std::wstring longLine = std::wstring(kLongestFolderName - 1, L'Ж') + L" окончание";
  EXPECT_EQ(SanitizeFolderName(longLine), std::wstring(kLongestFolderName - 1, L'Ж'));
}

TEST(ExtractTerminalNumber, DigitsOfTheFirstTerminalLineBelowTheFirst) {
  EXPECT_EQ(ExtractTerminalNumber({L"Терминал: 1", L"x", L"Терминал: 00 47-11", L"Терминал: 9"}), L"4711");
  EXPECT_EQ(ExtractTerminalNumber({L"Терминал: 123", L"x"}), L"");
  EXPECT_EQ(ExtractTerminalNumber({L"a", L"Терминал: нет", L"Терминал: 5"}), L"");
  EXPECT_EQ(ExtractTerminalNumber({L"a", L"Терминал:000"}), L"");
  EXPECT_EQ(ExtractTerminalNumber({L"a", L" Терминал: 5", L"терминал: 6"}), L"");
  EXPECT_EQ(ExtractTerminalNumber({L"a", L"Терминал:7x8"}), L"78");
}

class FixedClock final : public IRegionalTexts {
 public:
  TMomentTexts Now() override { return texts; }
  std::wstring DecimalSeparator() override { return L","; }
  TMomentTexts texts{L"07.12.2026", L"14:05:09"};
};

class ChequeArchive : public ::testing::Test {
 protected:
  // Files a cheque as an operation does: the log holds it alone.
  void File(const std::wstring& cheque, ChequeKind kind) {
    log_.Clear();
    log_.Add(CleanChequeText(cheque));
    archive_.SaveCheque(CleanChequeText(cheque), kind);
  }
  bool Holds(const std::wstring& path) { return files_.Exists(std::wstring(TMemoryFileStore::kProgramDir) + path); }
  std::string Content(const std::wstring& path) {
    return files_.Files().at(std::wstring(TMemoryFileStore::kProgramDir) + path);
  }

  TMemoryFileStore files_;
  FixedClock clock_;
  TLogLines log_;
  TChequeArchive archive_{files_, clock_, log_, TMemoryFileStore::kProgramDir};
};

TEST_F(ChequeArchive, ACheckIsFiledUnderItsFirstLinesAndTerminal) {
  File(L"ООО Ромашка\r\nг. Москва: ул/1\r\nТерминал: 004711\r\nИтог", ChequeKind::Reconciliation);
  const std::wstring path = L"Cheque\\ООО Ромашка\\г. Москва ул1\\4711\\Сверка от 07.12.2026 в 14-05-09.txt";
  ASSERT_TRUE(Holds(path));
  // The log's lines in the ANSI code page, the empty line the cheque's final
  // break leaves in the log included.
  EXPECT_EQ(Content(path), WideToAnsi(L"ООО Ромашка\r\nг. Москва: ул/1\r\nТерминал: 004711\r\nИтог\r\n\r\n"));

  // The terminal level of a garbled cheque is cut like a long line, so that
  // the path stays inside the system's length.
  File(L"ООО Ромашка\r\nМагазин на Тверской\r\nТерминал: " + std::wstring(100, L'7'), ChequeKind::Payment);
  EXPECT_TRUE(Holds(L"Cheque\\ООО Ромашка\\Магазин на Тверской\\" + std::wstring(kLongestFolderName, L'7') +
                    L"\\Оплата от 07.12.2026 в 14-05-09.txt"));
}

TEST_F(ChequeArchive, LevelsWithEmptyNamesAreLeftOut) {
  File(L"Чек\r\n :/ \r\nТерминал: нет", ChequeKind::Payment);
  EXPECT_TRUE(Holds(L"Cheque\\Чек\\Оплата от 07.12.2026 в 14-05-09.txt"));
}

TEST_F(ChequeArchive, AOneLineChequeLiesInTheRoot) {
  File(L"Отчёт", ChequeKind::Refund);
  EXPECT_TRUE(Holds(L"Cheque\\Возврат от 07.12.2026 в 14-05-09.txt"));
}

TEST_F(ChequeArchive, DateAndTimeBecomeAFileName) {
  clock_.texts = {L"12/7/2026", L"2:05:09 PM"};
  File(L"Отмена", ChequeKind::Cancellation);
  EXPECT_TRUE(Holds(L"Cheque\\Отмена от 12-7-2026 в 2-05-09 PM.txt"));
}

TEST_F(ChequeArchive, TheSameSecondReplacesTheFile) {
  File(L"Первый", ChequeKind::Payment);
  File(L"Второй", ChequeKind::Payment);
  EXPECT_EQ(Content(L"Cheque\\Оплата от 07.12.2026 в 14-05-09.txt"), WideToAnsi(L"Второй\r\n\r\n"));
}

TEST_F(ChequeArchive, AnEmptyChequeFilesNothing) {
  archive_.SaveCheque(L"", ChequeKind::Payment);
  EXPECT_TRUE(files_.Files().empty());
  EXPECT_FALSE(Holds(L"Cheque"));
}

TEST_F(ChequeArchive, AFileThatCannotBeWrittenEndsTheOperation) {
  files_.unwritable = TMemoryFileStore::kProgramDir;
  EXPECT_THROW(File(L"Чек", ChequeKind::Payment), TUnexpectedError);
}

}  // namespace
