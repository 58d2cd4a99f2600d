#include "connection_socket.h"
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstdlib>

namespace {

bool IsPort(int (*query)(int, sockaddr*, socklen_t*), int fd, int port) {
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  return query(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
         address.sin_family == AF_INET && ntohs(address.sin_port) == port;
}

}  // namespace

// The library hands handlers no socket, so the connection is found among the
// process's descriptors by its two ports.
int FindConnectionSocket(const httplib::Request& req) {
  DIR* descriptors = opendir("/proc/self/fd");
  if (!descriptors) return -1;
  int found = -1;
  while (const dirent* entry = readdir(descriptors)) {
    const int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] == '.' || fd == dirfd(descriptors)) continue;
    if (IsPort(getsockname, fd, req.local_port) && IsPort(getpeername, fd, req.remote_port)) {
      found = fd;
      break;
    }
  }
  closedir(descriptors);
  return found;
}

bool ResetSocket(int socket) {
  const linger abortive{1, 0};
  setsockopt(socket, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
  // An unconnected socket takes the descriptor's place in one step, so the
  // number is never free for another connection while the library still
  // holds it; dropping the last reference to the connection resets it.
  const int placeholder = ::socket(AF_INET, SOCK_STREAM, 0);
  if (placeholder < 0) return false;
  const bool replaced = dup2(placeholder, socket) == socket;
  close(placeholder);
  return replaced;
}
