#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <httplib.h>
#include "shutdown_gate.h"

enum class TBodyFault {
  None,
  Cut,    // the head announces the whole body; half of it is sent, then the connection closes
  Stall,  // as Cut, but the close comes only after the stall time (or at shutdown)
};

struct TDeliveryStyle {
  bool chunked = false;
  std::chrono::seconds stall{600};
  uint64_t rate = 0;  // bytes per second of a body; 0: as fast as the connection takes them
};

// Makes `res` carry `body` with status 200 in the given style, recording in
// CurrentSentBody what actually goes out. In chunked style a cut body sends
// its first half as one chunk (as several at a limited rate) and never the
// closing empty chunk.
void DeliverBody(httplib::Response& res, const std::string& body, const char* contentType,
                 TBodyFault fault, const TDeliveryStyle& style, TShutdownGate& gate);
