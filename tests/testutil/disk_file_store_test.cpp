#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "ansi_text.h"
#include "cheque_archive.h"
#include "cheque_text.h"
#include "file_store.h"
#include "log_lines.h"
#include "payment_core_fakes.h"
#include "unexpected_error.h"
#include "utf8_text.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder with a Russian name in the system's temporary folder.
class DiskFileStore : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    do {
      folder_ = fs::temp_directory_path() / ("tavo_core_test_" + std::to_string(random()));
    } while (!fs::create_directory(folder_));
    base_ = folder_.wstring() + L"\\Тест";
    ASSERT_TRUE(store_.CreateFolder(base_));
    base_ += L"\\";
  }
  // What the system lists in the Russian folder, as UTF-8.
  std::string Listed() {
    std::string names;
    for (const auto& entry : fs::directory_iterator(fs::directory_iterator(folder_)->path())) {
      names += entry.path().filename().u8string() + "|";
    }
    return names;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path folder_;
  std::wstring base_;
  TDiskFileStore store_;
};

TEST_F(DiskFileStore, WritesReplaceTheWholeFile) {
  const std::wstring file = base_ + L"Чек.txt";
  EXPECT_FALSE(store_.Exists(file));
  EXPECT_FALSE(store_.Read(file).has_value());
  store_.Write(file, std::string("first\r\nline\0two", 15));
  EXPECT_EQ(store_.Read(file), std::string("first\r\nline\0two", 15));
  store_.Write(file, "2");
  EXPECT_EQ(store_.Read(file), std::string("2"));
  store_.Write(file, "");
  EXPECT_EQ(store_.Read(file), std::string());
  EXPECT_EQ(Listed(), WideToUtf8(L"Чек.txt|"));
  EXPECT_TRUE(store_.Remove(file));
  EXPECT_FALSE(store_.Exists(file));
  EXPECT_FALSE(store_.Remove(file));
}

TEST_F(DiskFileStore, FoldersAreMadeOneLevelAtATimeAndAreNoFiles) {
  const std::wstring outer = base_ + L"Cheque";
  EXPECT_FALSE(store_.CreateFolder(outer + L"\\inner"));
  EXPECT_TRUE(store_.CreateFolder(outer));
  EXPECT_FALSE(store_.CreateFolder(outer));
  EXPECT_TRUE(store_.CreateFolder(outer + L"\\inner"));
  EXPECT_TRUE(store_.Exists(outer + L"\\inner"));
  EXPECT_FALSE(store_.Read(outer).has_value());
  EXPECT_FALSE(store_.Remove(outer));
  store_.Write(outer + L"\\inner\\a.txt", "a");
  EXPECT_EQ(store_.Read(outer + L"\\inner\\a.txt"), std::string("a"));
}

TEST_F(DiskFileStore, AFileThatCannotBeWrittenThrowsNamingIt) {
  const std::wstring file = base_ + L"нет\\pay_stack";
  try {
    store_.Write(file, "1\r\n");
    FAIL() << "written into a missing folder";
  } catch (const TUnexpectedError& error) {
    EXPECT_NE(error.Text().find(file), std::wstring::npos);
  }
  EXPECT_EQ(Listed(), "");
}

// Headers whose folder names Windows would keep other than written: a
// trailing blank left where characters were removed, a device name. Each
// cheque still lands in its folders, under names without the blank.
TEST_F(DiskFileStore, ChequesWhoseHeadersWindowsWouldAlterAreFiled) {
  TFakeRegional clock;
  TLogLines log;
  TChequeArchive archive(store_, clock, log, base_);
  // As the payment core hands them over: code page 1251 bytes.
  const wchar_t* const cheques[] = {L"ИП Иванов :\r\nг. Москва, ул. Ленина 1\r\nТерминал: 00012345\r\nОПЛАТА",
                                    L"*** ТЕСТБАНК ***\r\nГ. Москва 01\r\nОПЛАТА\r\n",
                                    L"con\r\nКасса...\r\n"};
  for (const wchar_t* cheque : cheques) {
    const std::wstring text = CleanChequeText(AnsiToWide(WideToAnsi(cheque)));
    log.Clear();
    log.Add(text);
    archive.SaveCheque(text, ChequeKind::Payment);
  }
  const std::wstring file = L"Оплата от 07.12.2026 в 14-05-09.txt";
  EXPECT_EQ(store_.Read(base_ + L"Cheque\\ИП Иванов\\г. Москва, ул. Ленина 1\\12345\\" + file),
            WideToAnsi(L"ИП Иванов :\r\nг. Москва, ул. Ленина 1\r\nТерминал: 00012345\r\nОПЛАТА\r\n\r\n"));
  EXPECT_TRUE(store_.Exists(base_ + L"Cheque\\ТЕСТБАНК\\Г. Москва 01\\" + file));
  EXPECT_TRUE(store_.Exists(base_ + L"Cheque\\_con\\Касса\\" + file));
}

}  // namespace
