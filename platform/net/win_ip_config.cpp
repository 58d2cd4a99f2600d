#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <vector>

#include "net/win_ethernet.h"

TResult TWinEthernetInterface::GetIpConfig(TIpConfig* config) {
  ULONG size = 0;
  if (::GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) {
    return TResult(RESULT_NOT_SUPPORTED);
  }
  // IP_ADAPTER_INFO holds pointers, so the buffer keeps their alignment.
  std::vector<IP_ADAPTER_INFO> buffer(size / sizeof(IP_ADAPTER_INFO) + 1);
  size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
  if (::GetAdaptersInfo(buffer.data(), &size) != ERROR_SUCCESS) {
    return TResult(RESULT_NOT_SUPPORTED);
  }
  // Adapters that are down or unconfigured are listed too, with 0.0.0.0;
  // the first one that has an address is the one the PC talks through.
  for (const IP_ADAPTER_INFO* adapter = buffer.data(); adapter != nullptr; adapter = adapter->Next) {
    IpAddress address = ParseIpAddress(adapter->IpAddressList.IpAddress.String);
    if (address != 0) {
      config->address = address;
      config->mask = ParseIpAddress(adapter->IpAddressList.IpMask.String);
      config->gateway = ParseIpAddress(adapter->GatewayList.IpAddress.String);
      return TResult();
    }
  }
  return TResult(RESULT_NOT_SUPPORTED);
}
