#pragma once
#include <cstdint>

#include "net/network.h"
#include "system/result.h"

enum : int32_t {
  // No IPv4 address came for a host name; the HTTP client answers the same
  // code for a target without an address.
  RESULT_SOCKET_NO_ADDRESS = 20010,
};

// How long a host name may take to resolve before the caller goes on without
// it.
constexpr uint32_t kHostLookupMilliseconds = 10000;

// One look-up of a name's IPv4 address (host order in out): 0, or the
// resolver's error number. It blocks for as long as the resolver takes.
using THostLookup = int32_t (*)(const char* name, IpAddress* out);

// The system's resolver, IPv4 only.
int32_t LookUpHostAddress(const char* name, IpAddress* out);

// Runs lookup on a thread of its own and waits for it at most
// waitMilliseconds. A look-up still running then is left to end by itself:
// it owns what it writes to and keeps the code it runs loaded. Without an
// address: 20010 followed by the resolver's error number, or 20010 alone
// when the wait ran out.
TResult ResolveHostWithin(const char* name, IpAddress* out, uint32_t waitMilliseconds, THostLookup lookup);
