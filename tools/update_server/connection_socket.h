#pragma once
#include <httplib.h>

// The socket of the connection that carried `req`, for answers the library
// cannot give (a reset, a head without end); -1 when it cannot be found.
int FindConnectionSocket(const httplib::Request& req);

// Resets the connection on `socket` at once (an abortive close: the peer sees
// a reset). An unconnected socket takes its descriptor, so whatever the
// library still writes for it goes nowhere. False when that failed.
bool ResetSocket(int socket);

// Resets the connection that carried `req` before a byte of an answer; false
// when the connection could not be found.
inline bool ResetConnection(const httplib::Request& req) {
  const int socket = FindConnectionSocket(req);
  return socket >= 0 && ResetSocket(socket);
}
