#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "net/network.h"
#include "net/waitable_connection.h"
#include "system/result.h"

// Result codes of a TLS connection, next to the HTTP client's.
enum : int32_t {
  RESULT_TLS_HANDSHAKE_FAILED = 27040,  // no common protocol or cipher, a broken or closed handshake
  RESULT_TLS_NOT_TRUSTED = 27041,       // the chain does not end in a trusted root (self-signed included)
  RESULT_TLS_NAME_MISMATCH = 27042,     // the certificate is not for the URL's host
  RESULT_TLS_NOT_IN_TIME = 27043,       // expired, or not yet valid
  RESULT_TLS_UNAVAILABLE = 27044,       // the system's TLS could not be set up, or the CA file not read
};

// What the server's certificate must show.
struct TTlsSettings {
  // The URL's host: sent as SNI (unless it is a dotted address) and matched
  // against the certificate's DNS names, or its IP address entries for an
  // address.
  std::string serverName;
  // A PEM file whose certificates are then the only trusted roots; empty:
  // the system's trusted roots.
  std::string caFile;
};

// TLS (1.2 at least) over a connected connection, without blocking: the
// handshake is driven step by step by its caller, and every wait blocks on
// the connection inside. Receive answers -2 (with 20003) only after the
// peer's close_notify; a connection that ends without it is a failure.
class TTlsConnection : public IConnection, public IWaitableConnection {
 public:
  // One step of the handshake: RESULT_HTTP_PENDING (5) while it waits for
  // the peer, success once the server's certificate has been verified, or a
  // failure's code. While it is pending, WaitUntilReady waits for whatever
  // the handshake needs, whatever is asked.
  virtual TResult Handshake() = 0;
  // Why the handshake failed, in words for the trace; empty while it has not.
  virtual std::string GetFailureReason() const = 0;
};

// The platform's TLS (Schannel on Windows, OpenSSL on Linux) over `inner`,
// which it owns. Null with *result set when TLS cannot be set up at all
// (RESULT_TLS_UNAVAILABLE) and *reason saying why.
std::unique_ptr<TTlsConnection> NewTlsConnection(std::unique_ptr<IConnection> inner, const TTlsSettings& settings,
                                                 TResult* result, std::string* reason);
