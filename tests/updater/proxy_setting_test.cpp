#include <gtest/gtest.h>

#include "files/ini_file.h"
#include "http/proxy_setting.h"
#include "url.h"

namespace {

std::string Chosen(const TProxySetting& setting, const std::string& scheme, const std::string& host) {
  const std::optional<TProxyServer> proxy = ChooseProxy(setting, scheme, host);
  return proxy ? proxy->host + ":" + std::to_string(proxy->port) : "direct";
}

TEST(ProxySetting, PicksTheSchemesProxyAndHonoursTheBypassList) {
  const TProxySetting perScheme{"http=web:3128; https=https://tunnel:8443 ;ftp=files:21", ""};
  EXPECT_EQ(Chosen(perScheme, "http", "upd.example"), "web:3128");
  EXPECT_EQ(Chosen(perScheme, "HTTPS", "upd.example"), "tunnel:8443");

  const TProxySetting shared{"bad:99999;proxy", "<local>;*.shop.lan 10.0.*"};
  EXPECT_EQ(Chosen(shared, "https", "upd.example"), "proxy:80") << "a broken entry is passed over";
  EXPECT_EQ(Chosen(shared, "http", "updhost"), "direct") << "<local>: a name without a dot";
  EXPECT_EQ(Chosen(shared, "http", "UPD.Shop.LAN"), "direct");
  EXPECT_EQ(Chosen(shared, "http", "shop.lan"), "proxy:80") << "the pattern's dot is part of it";
  EXPECT_EQ(Chosen(shared, "http", "10.0.3.4"), "direct");
  EXPECT_EQ(Chosen(shared, "http", "10.1.0.4"), "proxy:80");
  EXPECT_EQ(Chosen(TProxySetting{"ftp=files:21", ""}, "http", "upd.example"), "direct");
  EXPECT_EQ(Chosen(TProxySetting(), "http", "upd.example"), "direct");
}

TEST(ProxySetting, TheConfigurationsKeyWinsEvenWhenEmpty) {
  TUrl target;
  target.Parse("https://upd.example/tavo2-web/block1", 443);
  std::optional<TProxyServer> proxy;
  ASSERT_TRUE(ProxyFor(TIniFile("CONFIG.INI", TByteBuffer(std::string("HostURL=x\r\nProxy=127.0.0.1:3128 \r\n"))),
                       target, &proxy));
  ASSERT_TRUE(proxy);
  EXPECT_EQ(proxy->host, "127.0.0.1");
  EXPECT_EQ(proxy->port, 3128);
  EXPECT_TRUE(ProxyFor(TIniFile("CONFIG.INI", TByteBuffer(std::string("Proxy=\r\n"))), target, &proxy));
  EXPECT_FALSE(proxy) << "an empty value: straight to the server, whatever the machine says";
  EXPECT_FALSE(ProxyFor(TIniFile("CONFIG.INI", TByteBuffer(std::string("Proxy=host:80/path\r\n"))), target, &proxy));
  EXPECT_FALSE(ProxyFor(TIniFile("CONFIG.INI", TByteBuffer(std::string("Proxy=host:\r\n"))), target, &proxy));
}

}  // namespace
