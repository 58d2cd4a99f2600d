#include <gtest/gtest.h>

#include "http/tls_name_match.h"

namespace {

TEST(TlsNameMatch, WildcardCoversOneLeftMostLabelOnly) {
  EXPECT_TRUE(DnsNameMatches("*.example.com", "upd.example.com"));
  EXPECT_TRUE(DnsNameMatches("*.Example.COM", "UPD.example.com.")) << "case and an absolute name";
  EXPECT_TRUE(DnsNameMatches("upd.example.com", "Upd.Example.Com"));
  for (const char* host : {"example.com", "a.b.example.com", ".example.com", "upd.example.org", "updexample.com"}) {
    EXPECT_FALSE(DnsNameMatches("*.example.com", host)) << host;
  }
  for (const char* pattern : {"*.com", "*", "u*.example.com", "*pd.example.com", "upd.*.com", "*.*.com", ""}) {
    EXPECT_FALSE(DnsNameMatches(pattern, "upd.example.com")) << pattern;
  }
  EXPECT_FALSE(DnsNameMatches("*.0.0.1", "127.0.0.1")) << "no wildcard for an address";
  EXPECT_FALSE(DnsNameMatches("upd.example.co", "upd.example.com"));
}

TEST(TlsNameMatch, AnAddressMatchesOnlyItsIpEntryAndANameOnlyDnsNames) {
  TCertificateNames names;
  names.dnsNames = {"localhost", "127.0.0.1"};
  names.ipAddresses = {{10, 0, 0, 5}, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
  EXPECT_TRUE(CertificateMatchesHost(names, "10.0.0.5"));
  EXPECT_TRUE(CertificateMatchesHost(names, "LOCALHOST"));
  EXPECT_FALSE(CertificateMatchesHost(names, "127.0.0.1")) << "a DNS name spelling an address";
  EXPECT_FALSE(CertificateMatchesHost(names, "10.0.0.6"));
  names.dnsNames.clear();
  EXPECT_FALSE(CertificateMatchesHost(names, "localhost")) << "without DNS names no name matches";

  uint8_t bytes[4];
  ASSERT_TRUE(ParseDottedAddress("192.168.1.255", bytes));
  EXPECT_EQ(bytes[0], 192);
  EXPECT_EQ(bytes[3], 255);
  for (const char* host : {"256.0.0.1", "1.2.3", "1.2.3.4.", "1.2.3.4x", "1..3.4", "1.2.3.0004", " 1.2.3.4"}) {
    EXPECT_FALSE(ParseDottedAddress(host, bytes)) << host;
  }
}

}  // namespace
