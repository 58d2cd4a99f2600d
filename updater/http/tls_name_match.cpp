#include "http/tls_name_match.h"

#include <cstring>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(const std::string& a, size_t aFrom, const std::string& b, size_t bFrom) {
  if (a.size() - aFrom != b.size() - bFrom) return false;
  for (size_t i = 0; aFrom + i < a.size(); ++i) {
    if (Lower(a[aFrom + i]) != Lower(b[bFrom + i])) return false;
  }
  return true;
}

// One trailing dot (an absolute name) means the same name.
std::string WithoutTrailingDot(const std::string& name) {
  if (!name.empty() && name.back() == '.') return name.substr(0, name.size() - 1);
  return name;
}

}  // namespace

bool ParseDottedAddress(const std::string& host, uint8_t bytes[4]) {
  size_t position = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (position >= host.size() || host[position] != '.') return false;
      ++position;
    }
    unsigned value = 0;
    size_t digits = 0;
    while (position < host.size() && host[position] >= '0' && host[position] <= '9' && digits < 4) {
      value = value * 10 + static_cast<unsigned>(host[position] - '0');
      ++position;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    bytes[part] = static_cast<uint8_t>(value);
  }
  return position == host.size();
}

bool DnsNameMatches(const std::string& rawPattern, const std::string& rawHost) {
  const std::string pattern = WithoutTrailingDot(rawPattern);
  const std::string host = WithoutTrailingDot(rawHost);
  if (pattern.empty() || host.empty()) return false;
  if (pattern.compare(0, 2, "*.") != 0) {
    if (pattern.find('*') != std::string::npos) return false;
    return EqualIgnoringCase(pattern, 0, host, 0);
  }
  // "*.com" would cover a whole top-level domain.
  const std::string rest = pattern.substr(1);  // ".example.com"
  if (rest.find('*') != std::string::npos || rest.find('.', 1) == std::string::npos) return false;
  const size_t firstDot = host.find('.');
  if (firstDot == 0 || firstDot == std::string::npos) return false;
  uint8_t unused[4];
  if (ParseDottedAddress(host, unused)) return false;
  return EqualIgnoringCase(rest, 0, host, firstDot);
}

bool CertificateMatchesHost(const TCertificateNames& names, const std::string& host) {
  uint8_t address[4];
  if (ParseDottedAddress(host, address)) {
    for (const std::vector<uint8_t>& entry : names.ipAddresses) {
      if (entry.size() == 4 && std::memcmp(entry.data(), address, 4) == 0) return true;
    }
    return false;
  }
  for (const std::string& candidate : names.dnsNames) {
    if (DnsNameMatches(candidate, host)) return true;
  }
  return false;
}
