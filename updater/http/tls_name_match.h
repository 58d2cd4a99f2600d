#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The names a server's certificate is for: its subjectAltName entries. The
// subject's common name is not read, so that both builds match the same
// names (OpenSSL is told to leave it out too).
struct TCertificateNames {
  std::vector<std::string> dnsNames;
  std::vector<std::vector<uint8_t>> ipAddresses;  // 4 bytes for IPv4, in order
};

// The four bytes of a host written as a dotted IPv4 address ("127.0.0.1"):
// four decimal numbers up to 255 and nothing else.
bool ParseDottedAddress(const std::string& host, uint8_t bytes[4]);

// Whether a certificate's DNS name covers `host`: equal but for case, or a
// wildcard that is the whole left-most label ("*.example.com") standing for
// exactly one label, never in a name of fewer than three labels.
bool DnsNameMatches(const std::string& pattern, const std::string& host);

// Whether the certificate is for `host`: an address only by an IP address
// entry, a name only by a DNS name.
bool CertificateMatchesHost(const TCertificateNames& names, const std::string& host);
