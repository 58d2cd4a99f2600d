#pragma once
#include <cstdint>

#include "net/socket_api.h"
#include "net/waitable_connection.h"

// Blocks until the socket is readable (Receive) or writable (Send; also the
// end of a connect, failed or not), has an error, or `milliseconds` have
// passed. False only when the time ran out.
bool WaitForSocket(TSocket socket, TConnectionWait what, uint32_t milliseconds);
