#pragma once
#include <cstdint>
#include <memory>

#include "net/socket_api.h"

// An object of the operating system that a wait can watch: on Linux a
// descriptor, which wakes the wait when it has something to read; on Windows
// a handle, which wakes it when signalled (the event of an overlapped read,
// for one).
using TWaitObject = uintptr_t;

// What a waiting loop's next wait is to watch. Whoever holds an object of the
// operating system names it here before every wait; the wait itself never
// reads or writes anything.
class IIoWait {
 public:
  virtual ~IIoWait() = default;
  // The socket has something to read, a peer to accept, or has closed or
  // failed; with writable, also when it can take data; while it is
  // connecting, also when its connect has come through or failed.
  virtual void WatchSocket(TSocket socket, bool readable, bool writable, bool connecting) = 0;
  virtual void WatchObject(TWaitObject object) = 0;
  // The wait lasts at most this long from now: 0 when something is ready
  // already, such as bytes a connection has read ahead.
  virtual void Within(uint32_t milliseconds) = 0;
};

// Something that holds an object of the operating system worth waking for.
class IWaitable {
 public:
  virtual ~IWaitable() = default;
  // Names on the wait what would make this object worth looking at again:
  // something to read when readable is asked, room to write when writable is.
  virtual void Watch(IIoWait& wait, bool readable, bool writable) = 0;
  // Names on the wait what wakes it once at least count bytes can be read,
  // for a reader that can do nothing with fewer; any byte, unless the
  // object can tell more.
  virtual void WatchForBytes(IIoWait& wait, size_t count) {
    (void)count;
    Watch(wait, true, false);
  }
};

// The platform's wait: poll() on Linux; WaitForMultipleObjects on Windows,
// with the sockets signalling one event through WSAEventSelect. Any number
// of sockets can be watched; on Windows at most 63 objects besides them
// (the system's wait takes 64 handles, the sockets' event among them), and
// a wait with more is cut to a millisecond so that nothing waits long
// unseen. One object serves wait after wait, so that what it holds is made
// once.
class TIoWait : public IIoWait {
 public:
  TIoWait();
  ~TIoWait() override;
  TIoWait(const TIoWait&) = delete;
  TIoWait& operator=(const TIoWait&) = delete;

  // Starts the next wait, which lasts at most this long; forgets what the
  // last one watched.
  void Begin(uint32_t milliseconds);
  void WatchSocket(TSocket socket, bool readable, bool writable, bool connecting) override;
  void WatchObject(TWaitObject object) override;
  void Within(uint32_t milliseconds) override;
  // Waits until something watched is ready or the time is up; true when
  // something was ready. A signal or a stray wake-up may end it early.
  bool Wait();

 private:
  class TPlatform;
  std::unique_ptr<TPlatform> platform_;
  uint32_t limit_ = 0;
  bool readyNow_ = false;
};
