#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "processing_hosts.h"

TEST(ProcessingHosts, TheFileNamesBothHostsAndBlanksAroundThemDoNotCount) {
  const TProcessingHosts hosts = ParseProcessingHosts("Host1=192.168.1.10 \t\r\nhost2= 10.1.2.3\r\n");
  EXPECT_EQ(hosts.first, L"192.168.1.10");
  EXPECT_EQ(hosts.second, L"10.1.2.3");
  EXPECT_TRUE(hosts.notes.empty());
}

// A host the check would silently replace by a placeholder is named in the
// log, and so is a port value that was not taken; a port left out is 670 or
// 666 as it should be.
TEST(ProcessingHosts, WhatTheFileDoesNotNameAsAnAddressIsNoted) {
  const TProcessingHosts hosts =
      ParseProcessingHosts("Host1=processing.bank.ru\r\nHost2=\r\nPort1=x670\r\n");
  EXPECT_EQ(hosts.first, DefaultProcessingHosts().first);
  EXPECT_EQ(hosts.firstPort, 670);
  EXPECT_EQ(hosts.notes,
            (std::vector<std::wstring>{
                L"Host1=processing.bank.ru в файле TavoTest.ini не принят: нужен IP-адрес цифрами, например "
                L"192.168.0.10, имена серверов не поддерживаются. Проверяется адрес по умолчанию 10.0.0.1",
                L"Host2 не задан в файле TavoTest.ini. Проверяется адрес по умолчанию 10.0.0.2",
                L"Port1=x670 в файле TavoTest.ini не является номером порта. Проверяется порт 670"}));
  EXPECT_TRUE(ParseProcessingHosts("Host1=1.1.1.1\nHost2=2.2.2.2\nPort2=7\n").notes.empty());
}

TEST(ProcessingHosts, AKeyMissingOrNotAnAddressKeepsItsDefault) {
  const TProcessingHosts defaults = DefaultProcessingHosts();
  EXPECT_FALSE(defaults.first.empty());
  EXPECT_FALSE(defaults.second.empty());
  EXPECT_NE(defaults.first, defaults.second);

  const TProcessingHosts none = ParseProcessingHosts("");
  EXPECT_EQ(none.first, defaults.first);
  EXPECT_EQ(none.second, defaults.second);

  for (const char* value : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1.2.3.4x", "010.0.0.1", "a.b.c.d", "",
                            "1..2.3", "1234.1.1.1"}) {
    const TProcessingHosts hosts = ParseProcessingHosts(std::string("Host2=") + value + "\nHost1=1.1.1.1");
    EXPECT_EQ(hosts.second, defaults.second) << value;
    EXPECT_EQ(hosts.first, L"1.1.1.1") << value;
  }
}

TEST(ProcessingHosts, PortsAre670And666UnlessTheFileMovesThem) {
  const TProcessingHosts defaults = ParseProcessingHosts("");
  EXPECT_EQ(defaults.firstPort, 670);
  EXPECT_EQ(defaults.secondPort, 666);
  const TProcessingHosts moved = ParseProcessingHosts("Port1= 40001\r\nPort2=65535\r\n");
  EXPECT_EQ(moved.firstPort, 40001);
  EXPECT_EQ(moved.secondPort, 65535);
  for (const char* value : {"0", "65536", "0670", "6a", "", "-1", "123456"}) {
    EXPECT_EQ(ParseProcessingHosts(std::string("Port2=") + value).secondPort, 666) << value;
  }
}

TEST(ProcessingHosts, TheFirstLineOfAKeyBeforeAnySectionCounts) {
  const TProcessingHosts hosts = ParseProcessingHosts(
      "; processing hosts\nHost1=1.1.1.1\nHost1=2.2.2.2\n Host2=3.3.3.3\n[Other]\nHost2=4.4.4.4\n");
  EXPECT_EQ(hosts.first, L"1.1.1.1");
  EXPECT_EQ(hosts.second, DefaultProcessingHosts().second);
}
