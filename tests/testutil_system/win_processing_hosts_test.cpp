#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "processing_hosts.h"
#include "program_directory.h"
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

// The commented sample shipped beside the program is read as meant: its
// comments are no keys, and the hosts it leaves empty are noted.
TEST(ProcessingHostsFile, TheSampleBesideTheProgramNamesNoHostYet) {
  const TProcessingHosts sample = LoadProcessingHosts(ProgramDirectory() + kProcessingHostsFileName);
  EXPECT_EQ(sample.first, DefaultProcessingHosts().first);
  EXPECT_EQ(sample.firstPort, 670);
  EXPECT_EQ(sample.secondPort, 666);
  EXPECT_EQ(sample.notes,
            (std::vector<std::wstring>{L"Host1 не задан в файле TavoTest.ini. Проверяется адрес по умолчанию 10.0.0.1",
                                       L"Host2 не задан в файле TavoTest.ini. Проверяется адрес по умолчанию 10.0.0.2"}));
}
