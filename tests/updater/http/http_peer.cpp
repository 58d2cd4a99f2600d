#include "http_peer.h"

#include <chrono>
#include <cstdlib>
#include <utility>

namespace {

// Slices of waiting, short enough for the peer to notice it should go.
constexpr int kTurnMilliseconds = 20;
constexpr int kAcceptMilliseconds = 10000;
constexpr auto kPauseBetweenPieces = std::chrono::milliseconds(30);

// Head and body are in once the blank line has come and as many bytes as its
// Content-Length announces have followed it.
bool IsComplete(const std::string& request) {
  const size_t headEnd = request.find("\r\n\r\n");
  if (headEnd == std::string::npos) return false;
  const size_t field = request.find("Content-Length: ");
  const size_t bodyLength = field < headEnd ? std::strtoul(request.c_str() + field + 16, nullptr, 10) : 0;
  return request.size() >= headEnd + 4 + bodyLength;
}

}  // namespace

THttpPeer::THttpPeer(std::vector<std::string> pieces, TPeerEnd end) {
  listening_ = ListenOnLoopback(&port_);
  if (listening_ != kNoLoopbackSocket) thread_ = std::thread(&THttpPeer::Serve, this, std::move(pieces), end);
}

THttpPeer::~THttpPeer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listening_ != kNoLoopbackSocket) CloseLoopbackSocket(listening_);
}

std::string THttpPeer::Request() {
  std::lock_guard<std::mutex> lock(mutex_);
  return request_;
}

void THttpPeer::Serve(std::vector<std::string> pieces, TPeerEnd end) {
  TLoopbackSocket socket = kNoLoopbackSocket;
  for (int waited = 0; socket == kNoLoopbackSocket && waited < kAcceptMilliseconds && !stopping_;
       waited += kTurnMilliseconds) {
    socket = AcceptWithin(listening_, kTurnMilliseconds);
  }
  if (socket == kNoLoopbackSocket) return;
  ReadRequest(socket);
  bool sending = true;
  for (size_t i = 0; i < pieces.size() && sending && !stopping_; ++i) {
    if (i > 0) std::this_thread::sleep_for(kPauseBetweenPieces);
    sending = SendAll(socket, pieces[i]);
  }
  if (end == TPeerEnd::Close) ShutdownSending(socket);
  WaitForHangUp(socket);
  CloseLoopbackSocket(socket);
}

void THttpPeer::ReadRequest(TLoopbackSocket socket) {
  char buffer[4096];
  while (!stopping_) {
    const int count = ReceiveWithin(socket, buffer, sizeof buffer, kTurnMilliseconds);
    if (count < 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    request_.append(buffer, static_cast<size_t>(count));
    if (IsComplete(request_)) return;
  }
}

void THttpPeer::WaitForHangUp(TLoopbackSocket socket) {
  char buffer[4096];
  while (!stopping_ && ReceiveWithin(socket, buffer, sizeof buffer, kTurnMilliseconds) >= 0) {
  }
}

uint16_t ClosedLoopbackPort() {
  uint16_t port = 0;
  const TLoopbackSocket socket = ListenOnLoopback(&port);
  if (socket != kNoLoopbackSocket) CloseLoopbackSocket(socket);
  return port;
}
