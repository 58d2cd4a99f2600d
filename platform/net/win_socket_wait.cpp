#include <winsock2.h>

#include "net/socket_wait.h"

// select rather than WSAPoll: it reports a failed connect (in the error set)
// on every Windows version and under Wine alike.
bool WaitForSocket(TSocket socket, TConnectionWait what, uint32_t milliseconds) {
  const SOCKET handle = static_cast<SOCKET>(socket);
  fd_set readySet, errorSet;
  FD_ZERO(&readySet);
  FD_ZERO(&errorSet);
  FD_SET(handle, &readySet);
  FD_SET(handle, &errorSet);
  timeval timeout{static_cast<long>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000};
  const bool sending = what == TConnectionWait::Send;
  return ::select(0, sending ? nullptr : &readySet, sending ? &readySet : nullptr, &errorSet, &timeout) != 0;
}
