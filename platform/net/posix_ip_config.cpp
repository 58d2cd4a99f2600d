#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>

#include "net/posix_ethernet.h"

namespace {

IpAddress HostOrder(const sockaddr* address) {
  if (address == nullptr || address->sa_family != AF_INET) {
    return 0;
  }
  return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

// The gateway of the default route, preferring one through the given
// interface; 0 when there is none. The kernel's table shows addresses as the
// hex of their stored (network order) value.
IpAddress DefaultGateway(const char* interfaceName) {
  FILE* table = std::fopen("/proc/net/route", "r");
  if (table == nullptr) {
    return 0;
  }
  IpAddress found = 0;
  char line[256];
  while (std::fgets(line, sizeof line, table) != nullptr) {
    char name[IFNAMSIZ + 1];
    unsigned long destination, gateway;
    unsigned flags;
    if (std::sscanf(line, "%16s %lx %lx %x", name, &destination, &gateway, &flags) != 4 || destination != 0 ||
        (flags & RTF_GATEWAY) == 0) {
      continue;
    }
    IpAddress address = ntohl(static_cast<uint32_t>(gateway));
    if (std::strcmp(name, interfaceName) == 0) {
      found = address;
      break;
    }
    if (found == 0) {
      found = address;
    }
  }
  std::fclose(table);
  return found;
}

}  // namespace

TResult TPosixEthernetInterface::GetIpConfig(TIpConfig* config) {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) {
    return TResult(RESULT_NOT_SUPPORTED);
  }
  const ifaddrs* chosen = nullptr;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET && (entry->ifa_flags & IFF_UP) != 0 &&
        (entry->ifa_flags & IFF_LOOPBACK) == 0) {
      chosen = entry;
      break;
    }
  }
  if (chosen == nullptr) {
    ::freeifaddrs(list);
    return TResult(RESULT_NOT_SUPPORTED);
  }
  config->address = HostOrder(chosen->ifa_addr);
  config->mask = HostOrder(chosen->ifa_netmask);
  config->gateway = DefaultGateway(chosen->ifa_name);
  ::freeifaddrs(list);
  return TResult();
}
