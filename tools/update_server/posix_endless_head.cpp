#include "endless_head.h"
#include <poll.h>
#include <sys/socket.h>
#include <cerrno>
#include "connection_socket.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr auto kDripPause = std::chrono::milliseconds(10);
constexpr size_t kFloodBatchLines = 512;

// Writes on the client's connection until `until` or the gate closes.
class THeadWriter {
 public:
  THeadWriter(int socket, TClock::time_point until, TShutdownGate& gate)
      : socket_(socket), until_(until), gate_(gate) {}

  // False once the client has left or time has run out.
  bool Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      if (ClientLeft() || !TimeLeft()) return false;
      const ssize_t count = send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (count > 0) {
        sent += static_cast<size_t>(count);
      } else if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        hungUp_ = true;
        return false;
      } else {
        pollfd writable{socket_, POLLOUT, 0};
        poll(&writable, 1, 50);
      }
    }
    return true;
  }

  bool Pause(std::chrono::milliseconds pause) { return gate_.WaitFor(pause) && TimeLeft(); }
  bool TimeLeft() { return TClock::now() < until_ && gate_.WaitFor(std::chrono::milliseconds(0)); }

  // The client has closed its end: nothing (or a reset) is there to read.
  // Asked once more at the end, since a client that quits at once may be
  // followed by the server's own stop within one drip pause.
  bool ClientLeft() {
    char byte = 0;
    const ssize_t count = recv(socket_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    hungUp_ = hungUp_ || count == 0 || (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
    return hungUp_;
  }

 private:
  int socket_;
  TClock::time_point until_;
  TShutdownGate& gate_;
  bool hungUp_ = false;
};

std::string HeaderLine(THeadStream stream, size_t number) {
  return stream == THeadStream::Flood ? "X-Flood-" + std::to_string(number) + ": " + std::string(64, 'f') + "\r\n"
                                      : "X-Drip-" + std::to_string(number) + ": 1\r\n";
}

}  // namespace

std::string SendEndlessHead(const httplib::Request& req, THeadStream stream, std::chrono::seconds limit,
                            TShutdownGate& gate) {
  const char* what = stream == THeadStream::Flood ? "header-flood" : "header-drip";
  const int socket = FindConnectionSocket(req);
  if (socket < 0) return std::string(what) + " failed";
  THeadWriter writer(socket, TClock::now() + limit, gate);
  size_t lines = 0;
  bool going = writer.Send("HTTP/1.1 200 OK\r\n");
  while (going) {
    std::string batch;
    const size_t count = stream == THeadStream::Flood ? kFloodBatchLines : 1;
    for (size_t i = 0; i < count; ++i) batch += HeaderLine(stream, lines + i + 1);
    going = writer.Send(batch);
    if (going) lines += count;
    if (going && stream == THeadStream::Drip) going = writer.Pause(kDripPause);
  }
  const bool hungUp = writer.ClientLeft();
  ResetSocket(socket);
  return std::string(what) + " " + std::to_string(lines) + " lines " + (hungUp ? "hung-up" : "outlasted");
}
