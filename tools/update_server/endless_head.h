#pragma once
#include <chrono>
#include <string>
#include <httplib.h>
#include "shutdown_gate.h"

enum class THeadStream {
  Flood,  // header lines as fast as the client takes them
  Drip,   // one short header line every 10 ms
};

// Answers the request `req` with a status line "200" and header lines that
// never end, written straight onto its connection (the library writes a head
// only whole). Stops once the client hangs up, `limit` has passed or the gate
// closes, and then resets the connection. Answers the note for the request
// log: how many lines went out, and "hung-up" when the client left first,
// "outlasted" when it did not.
std::string SendEndlessHead(const httplib::Request& req, THeadStream stream, std::chrono::seconds limit,
                            TShutdownGate& gate);
