#pragma once
#include <cstdint>
#include "system/device.h"

// IPv4 address, first octet in the most significant byte
// (192.168.1.10 is 0xC0A8010A).
using IpAddress = uint32_t;

// Where a connection goes. The secure flag is the HTTP client's; socket
// interfaces ignore it.
struct TNetAddress {
  IpAddress address = 0;
  uint16_t port = 0;
  uint8_t secure = 0;
};

struct TIpConfig {
  IpAddress address = 0;
  IpAddress mask = 0;
  IpAddress gateway = 0;
};

enum : int32_t {
  CONNECTION_CONNECTING = 1,
  CONNECTION_CONNECTED = 2,
  CONNECTION_CLOSED = 3,
  CONNECTION_LISTENING = 4,
};

enum : int32_t {
  NETWORK_READY = 3,
  NETWORK_FAILED = 4,
};

// A non-blocking byte stream. Destroying it closes it.
class IConnection {
 public:
  virtual ~IConnection() = default;
  // Bytes taken, 0 = not now, negative = failure.
  virtual int32_t Send(const void* data, uint32_t length) = 0;
  // Bytes read, 0 = nothing yet, negative = failure.
  virtual int32_t Receive(void* buffer, uint32_t size) = 0;
  virtual uint32_t GetPeerAddress() = 0;
  virtual int32_t GetState() = 0;
  virtual TResult GetLastResult() = 0;
};

// Opens outgoing and listening connections.
class INetworkInterface : public IDevice {
 public:
  virtual int32_t GetState() = 0;
  virtual TResult GetLastResult() = 0;
  virtual TResult SetParameter(uint32_t value) = 0;
  virtual TResult GetIpConfig(TIpConfig* config) = 0;
  // The caller owns the connection handed out; none on failure.
  virtual TResult Connect(const TNetAddress& target, IConnection** out) = 0;
  virtual TResult Listen(uint16_t port, IConnection** out) = 0;
  virtual TResult Control(uint32_t argument) = 0;
  virtual TResult ResolveHost(const char* host, IpAddress* out) = 0;
};

// Dotted text of an address ("127.0.0.1").
void FormatIpAddress(IpAddress address, char* buffer16);
// The address of a dotted text; 0 unless it starts with four numbers.
IpAddress ParseIpAddress(const char* text);
