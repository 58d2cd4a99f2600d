#pragma once
#include <httplib.h>

// Resets the connection that carried `req` at once (an abortive close: the
// peer sees a reset and not a single byte of an answer). Whatever the server
// then tries to write for it goes nowhere. False when the connection could
// not be found.
bool ResetConnection(const httplib::Request& req);
