#include <gtest/gtest.h>

#include "app_folder.h"
#include "environment.h"
#include "host_list.h"
#include "url.h"

namespace {

TUrl Parsed(const std::string& text, uint16_t defaultPort = 80) {
  TUrl url;
  url.Parse(text, defaultPort);
  return url;
}

TEST(Url, SplitsSchemeHostPortAndPath) {
  TUrl url = Parsed("http://10.0.0.5:8080/tavo2-web/block1?name=a&terminalSN=1", 0);
  EXPECT_EQ(url.scheme, "http");
  EXPECT_EQ(url.host, "10.0.0.5");
  EXPECT_EQ(url.port, 8080);
  EXPECT_EQ(url.address, 0x0A000005u);
  EXPECT_EQ(url.path, "tavo2-web/block1?name=a&terminalSN=1");
  EXPECT_EQ(url.Render(), "http://10.0.0.5:8080/tavo2-web/block1?name=a&terminalSN=1");

  url = Parsed("upd");
  EXPECT_EQ(url.Render(), "upd:80") << "default port, no scheme, no path";
  EXPECT_EQ(url.address, 0u) << "a name is resolved later";
  EXPECT_EQ(Parsed("updhost:65535").port, 65535);
  EXPECT_EQ(Parsed("https://upd").Render(), "https://upd:443") << "https has its own default port";
  EXPECT_EQ(Parsed("upd").RenderWithScheme(), "http://upd:80");
}

TEST(Url, ABrokenPortLeavesNoHostToConnectTo) {
  for (const char* text : {"updhost:99999", "updhost:", "updhost:123456", "updhost:8o", "updhost: 80"}) {
    const TUrl url = Parsed(text);
    EXPECT_EQ(url.host, "") << text;
    EXPECT_EQ(url.port, 0) << text;
  }
  const TUrl pathColon = Parsed("updhost/a:b");
  EXPECT_EQ(pathColon.host, "") << "a ':' in the path is no port";
  EXPECT_EQ(pathColon.path, "a:b");
}

TEST(Url, OnlyFourGroupsOfDigitsUpTo255AreAnAddress) {
  EXPECT_EQ(Parsed("192.168.1.30").address, 0xC0A8011Eu);
  for (const char* host : {"192.168.1.300", "1.2.3", "1.2.3.4.5", "a.b.c.d", "1.2..4", "1.2.3.1000"}) {
    const TUrl url = Parsed(host);
    EXPECT_EQ(url.address, 0u) << host;
    EXPECT_EQ(url.host, host) << "kept as a name";
  }
}

TEST(Url, TrailingBlanksOfAConfiguredValueAreIgnored) {
  EXPECT_EQ(Parsed("10.0.0.5:8080 ").Render(), "10.0.0.5:8080");
  EXPECT_EQ(Parsed("10.0.0.5:80\t \t").port, 80);
  EXPECT_EQ(Parsed("10.0.0.5 ").address, 0x0A000005u);
}

TEST(HostList, RotatesThroughEveryLineAndWraps) {
  THostList hosts;
  EXPECT_EQ(hosts.Count(), 0u);
  EXPECT_EQ(hosts.Current().Render(), ":0") << "the empty entry stands in";
  hosts.Advance();

  hosts.Parse("a:1\r\nb\n\nc:3", 80);
  ASSERT_EQ(hosts.Count(), 4u) << "an empty line is an entry too";
  std::string seen;
  for (int i = 0; i < 5; ++i, hosts.Advance()) seen += hosts.Current().Render() + " ";
  EXPECT_EQ(seen, "a:1 b:80 :80 c:3 a:1 ");
}

TEST(Environment, ReadsTheLeadingSectionOfConfigAndTheProfileAfresh) {
  TAppFolder folder;
  TCorvoEnvironment underHeader(TByteBuffer(std::string("[Main]\r\nHostURL=10.0.0.5:8080\r\n")));
  EXPECT_EQ(underHeader.GetHostUrl(), "");
  EXPECT_EQ(underHeader.GetServerPath(), "/block1");

  TCorvoEnvironment config(TByteBuffer(std::string("HostURL=10.0.0.5:8080\r\nURL=shop7 \r\n")));
  EXPECT_EQ(config.GetHostUrl(), "10.0.0.5:8080");
  EXPECT_EQ(config.GetServerPath(), "/shop7");
  folder.Write("PROFILE.INI", "URL=block9\r\n");
  EXPECT_EQ(config.GetServerPath(), "/block9");
  folder.Write("PROFILE.INI", "Other=1\r\n");
  EXPECT_EQ(config.GetServerPath(), "/shop7");
}

}  // namespace
