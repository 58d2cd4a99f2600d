#include "posix_tcp_peer.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <chrono>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Local(uint16_t port) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

bool Readable(int fd, Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  pollfd ready = {fd, POLLIN, 0};
  return left > 0 && poll(&ready, 1, static_cast<int>(left)) > 0;
}

}  // namespace

TTcpListener::TTcpListener() {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Local(0);
  socklen_t size = sizeof address;
  if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 8) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("no listening socket on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
}

TTcpListener::~TTcpListener() { close(fd_); }

int TTcpListener::Accept(int waitMs) {
  if (!Readable(fd_, Clock::now() + std::chrono::milliseconds(waitMs))) return -1;
  return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
}

uint16_t UnusedPort() {
  TTcpListener probe;
  return probe.Port();
}

int ConnectLocal(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Local(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
  close(fd);
  return -1;
}

std::string ReadBytes(int fd, size_t count, int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  std::string bytes;
  char buffer[4096];
  while (bytes.size() < count && Readable(fd, deadline)) {
    const ssize_t n = read(fd, buffer, std::min(sizeof buffer, count - bytes.size()));
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

bool PeerCloses(int fd, int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  char buffer[4096];
  while (Readable(fd, deadline)) {
    if (read(fd, buffer, sizeof buffer) <= 0) return true;
  }
  return false;
}

void WriteBytes(int fd, const std::string& bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n <= 0) throw std::runtime_error("a host could not write");
    written += static_cast<size_t>(n);
  }
}
