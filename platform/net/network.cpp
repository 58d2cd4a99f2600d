#include "net/network.h"

#include <cstdio>

void FormatIpAddress(IpAddress address, char* buffer16) {
  std::snprintf(buffer16, 16, "%u.%u.%u.%u", static_cast<unsigned>(address >> 24),
                static_cast<unsigned>(address >> 16 & 0xFF), static_cast<unsigned>(address >> 8 & 0xFF),
                static_cast<unsigned>(address & 0xFF));
}

IpAddress ParseIpAddress(const char* text) {
  unsigned a, b, c, d;
  if (text == nullptr || std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d) != 4) {
    return 0;
  }
  return ((a * 256 + b) * 256 + c) * 256 + d;
}
