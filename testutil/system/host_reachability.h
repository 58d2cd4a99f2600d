#pragma once
#include <cstdint>
#include <string>

constexpr uint32_t kHostConnectTimeoutMs = 5000;

// Whether the host at an IPv4 address ("10.0.0.1") accepts a TCP connection
// on port within the timeout. The connection is closed at once; nothing is
// sent. False for an address that is not a dotted IPv4 address.
bool IsHostReachable(const std::wstring& address, uint16_t port,
                     uint32_t timeoutMs = kHostConnectTimeoutMs);
