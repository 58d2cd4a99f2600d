#pragma once
#include <cstdint>
#include <string>

// The hosts of the end-to-end tests: plain blocking sockets on 127.0.0.1
// with waits that give up, so that a relay that loses data fails the test
// instead of hanging it.
class TTcpListener {
 public:
  // Listens on 127.0.0.1 on a port the system chooses.
  TTcpListener();
  ~TTcpListener();
  uint16_t Port() const { return port_; }
  // The next connection within waitMs, or -1.
  int Accept(int waitMs);

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// A port on 127.0.0.1 that nobody listens on (it was free a moment ago).
uint16_t UnusedPort();
// Connects to 127.0.0.1:port; -1 on failure.
int ConnectLocal(uint16_t port);
// Reads until count bytes arrived, the peer closed, or waitMs passed.
std::string ReadBytes(int fd, size_t count, int waitMs);
// True when the peer closes within waitMs (data before the end is dropped).
bool PeerCloses(int fd, int waitMs);
void WriteBytes(int fd, const std::string& bytes);
