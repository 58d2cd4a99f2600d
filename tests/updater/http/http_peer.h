#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_socket.h"

// What the peer does once it has played its pieces.
enum class TPeerEnd {
  Close,  // ends the stream and waits for the client to hang up
  Hold,   // keeps the connection open and silent until the peer goes
};

// A scripted HTTP server on 127.0.0.1 for one exchange: it takes one
// connection, reads the whole request (head and any Content-Length body),
// then sends its pieces a moment apart, so that the client meets them in
// separate reads.
class THttpPeer {
 public:
  explicit THttpPeer(std::vector<std::string> pieces, TPeerEnd end = TPeerEnd::Close);
  ~THttpPeer();
  THttpPeer(const THttpPeer&) = delete;
  THttpPeer& operator=(const THttpPeer&) = delete;

  uint16_t Port() const { return port_; }
  // The request bytes read so far; whole once the client has its response.
  std::string Request();

 private:
  void Serve(std::vector<std::string> pieces, TPeerEnd end);
  void ReadRequest(TLoopbackSocket socket);
  // Receives until the client hangs up or the peer is told to go.
  void WaitForHangUp(TLoopbackSocket socket);

  TLoopbackSocket listening_ = kNoLoopbackSocket;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::string request_;
  std::thread thread_;
};

// A port on 127.0.0.1 on which no one listens any more.
uint16_t ClosedLoopbackPort();
