#include <poll.h>

#include <climits>

#include "net/socket_wait.h"

// Errors and hang-ups end the wait whatever was asked for; a signal does
// too, and the caller, finding nothing, waits again.
bool WaitForSocket(TSocket socket, TConnectionWait what, uint32_t milliseconds) {
  pollfd entry{static_cast<int>(socket), static_cast<short>(what == TConnectionWait::Send ? POLLOUT : POLLIN), 0};
  const int timeout = milliseconds > INT_MAX ? INT_MAX : static_cast<int>(milliseconds);
  return ::poll(&entry, 1, timeout) != 0;
}
