#include <gtest/gtest.h>

#include <string>

#include "error_texts.h"
#include "memory_file_store.h"

namespace {

const std::wstring kDir = TMemoryFileStore::kProgramDir;
const std::wstring kUnknown = L"Неизвестная ошибка. Либо в каталоге с TAVO Test отсутствует файл с ошибками error_list";

class ErrorTexts : public ::testing::Test {
 protected:
  std::wstring Text(int32_t code) { return GetErrorText(files_, kDir, code); }
  // error_list in the ANSI code page, as an installation ships it.
  void List(const std::string& cp1251) { files_.Put(kDir + L"error_list", cp1251); }

  TMemoryFileStore files_;
};

TEST_F(ErrorTexts, WithoutAFileFrontEndCodesAreToldByTheirRangeAndOthersAreUnknown) {
  EXPECT_EQ(Text(4451), L"От фронтальной системы получен код ответа 51");
  EXPECT_EQ(Text(4400), L"От фронтальной системы получен код ответа 0");
  EXPECT_EQ(Text(4499), L"От фронтальной системы получен код ответа 99");
  EXPECT_EQ(Text(4500), kUnknown);
  EXPECT_EQ(Text(2000), kUnknown);
}

TEST_F(ErrorTexts, TheFileNamesCodesAndTheRangeCoversTheRest) {
  List("4451=\xCE\xF2\xEA\xE0\xE7\r\n2000=Card = blocked\n-1=\xD1\xE1\xEE\xE9\r");  // Отказ, Сбой
  EXPECT_EQ(Text(4451), L"Отказ");
  EXPECT_EQ(Text(4452), L"От фронтальной системы получен код ответа 52");
  EXPECT_EQ(Text(2000), L"Card = blocked");
  EXPECT_EQ(Text(-1), L"Сбой");
  EXPECT_EQ(Text(1), kUnknown);
}

TEST_F(ErrorTexts, TheFirstLineOfACodeCountsAndAnEmptyTextIsNone) {
  List("no equals sign\r\n2000=\r\n2000=second\r\n3000=first\r\n3000=second\r\n 4000=blank key\r\n");
  EXPECT_EQ(Text(2000), kUnknown);
  EXPECT_EQ(Text(3000), L"first");
  EXPECT_EQ(Text(4000), kUnknown);
}

TEST_F(ErrorTexts, TheFileIsReadAgainAtEveryLookup) {
  List("2000=old\r\n");
  EXPECT_EQ(Text(2000), L"old");
  List("2000=new\r\n");
  EXPECT_EQ(Text(2000), L"new");
  files_.MakeUnreadable(kDir + L"error_list");
  EXPECT_EQ(Text(2000), kUnknown);
}

}  // namespace
