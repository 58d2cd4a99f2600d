#include <gtest/gtest.h>

#include "processing_hosts.h"
#include "test_folder.h"

TEST(ProcessingHostsFile, IsReadWhenPresentAndTheDefaultsServeWithoutIt) {
  TTestFolder folder;
  const std::wstring path = folder.Path() + kProcessingHostsFileName;
  const TProcessingHosts missing = LoadProcessingHosts(path);
  EXPECT_EQ(missing.first, DefaultProcessingHosts().first);
  EXPECT_EQ(missing.second, DefaultProcessingHosts().second);
  ASSERT_EQ(missing.notes.size(), 1u);
  EXPECT_EQ(missing.notes[0], L"Файл TavoTest.ini не найден рядом с программой. Проверяются адреса по умолчанию "
                              L"10.0.0.1 и 10.0.0.2");

  ASSERT_TRUE(MakeFile(path, "Host1=172.16.0.1\r\nHost2=172.16.0.2\r\n"));
  const TProcessingHosts read = LoadProcessingHosts(path);
  EXPECT_EQ(read.first, L"172.16.0.1");
  EXPECT_EQ(read.second, L"172.16.0.2");
}
