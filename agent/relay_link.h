#pragma once
#include "agent_trace.h"
#include "system/io_wait.h"
#include "system/result.h"

// The serial side of the relay as the relay loop drives it: the PIN pad's
// link, opened and closed by the loop and pumped while a session exists.
class IRelayLink {
 public:
  virtual ~IRelayLink() = default;
  // Opens the COM port and starts a session; with wait = false it does not
  // wait for the far end to answer. Code 0 when the session runs.
  virtual TResult OpenLink(bool wait) = 0;
  virtual bool HasSession() = 0;
  // Moves whatever is ready between the COM port, the PIN pad's requests and
  // the PC's connections; never blocks.
  virtual void Poll() = 0;
  // Names on the wait what would give the next Poll something to do, so
  // that the loop sleeps until then; nothing while there is no session.
  virtual void Watch(IIoWait& wait) = 0;
  // Whether the session's COM port has failed for good (its device hung up
  // or was removed), with the port's reason; false without a session.
  virtual bool PortFailed(TResult* why) = 0;
  // Ends the session and closes the COM port; the link can be opened again.
  virtual void Close() = 0;
  // Where the link reports from its next open on; the trace must outlive
  // every session opened while it is set.
  virtual void SetTrace(IAgentTrace& trace) = 0;
};
