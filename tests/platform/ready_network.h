#pragma once
#include "net/network.h"

// The network interface of a test double that only makes connections: always
// ready, with nothing to configure, look up or listen on. The double says
// what Connect makes, and may answer the rest otherwise.
class TReadyNetworkDouble : public INetworkInterface {
 public:
  TResult Open() override { return TResult(); }
  void Close() override {}
  int32_t GetState() override { return NETWORK_READY; }
  TResult GetLastResult() override { return TResult(); }
  TResult SetParameter(uint32_t) override { return TResult(); }
  TResult GetIpConfig(TIpConfig*) override { return TResult(RESULT_NOT_SUPPORTED); }
  TResult Listen(uint16_t, IConnection** out) override {
    *out = nullptr;
    return TResult(RESULT_NOT_SUPPORTED);
  }
  TResult Control(uint32_t) override { return TResult(RESULT_NOT_SUPPORTED); }
  TResult ResolveHost(const char*, IpAddress*) override { return TResult(RESULT_NOT_SUPPORTED); }
};
