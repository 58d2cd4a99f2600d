#pragma once
#include <cstdint>

enum class TConnectionWait {
  Receive,  // bytes to read, or the end of the stream
  Send,     // room to send, which is also when a connect has finished
};

// A connection its user can sleep on instead of asking it again and again:
// waiting loops block here until there is something to do or their time is
// up, so that a slow peer costs no processor time.
class IWaitableConnection {
 public:
  // Blocks until the connection is ready for `what`, has failed or closed,
  // or `milliseconds` have passed. False only when the time ran out with
  // nothing to do; true may still be followed by a call that finds nothing
  // (the caller asks again and waits again).
  virtual bool WaitUntilReady(TConnectionWait what, uint32_t milliseconds) = 0;

 protected:
  // Never deleted through this interface.
  ~IWaitableConnection() = default;
};
