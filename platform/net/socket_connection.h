#pragma once
#include <cstdint>
#include <memory>

#include "log/logger_to_file.h"
#include "net/network.h"
#include "net/socket_api.h"
#include "net/waitable_connection.h"
#include "system/io_wait.h"

// One TCP connection over a non-blocking socket: outgoing, or listening
// until it accepts a peer. Every operation polls the socket first, so the
// state follows the socket without the caller waiting. The connection is its
// own logger and writes its traffic when it was given a file system. A
// waiting loop can sleep until the socket has something for it: the
// updater's one connection at a time, the agent's many in one wait.
class TSocketConnection : public IConnection,
                          public TLoggerToFile,
                          public IWaitableConnection,
                          public IWaitable {
 public:
  static constexpr uint32_t kInitialSendBufferSize = 8192;

  TSocketConnection(TSocket socket, bool outgoing, const char* logName, IFileSystem* logFileSystem);
  ~TSocketConnection() override;

  int32_t Send(const void* data, uint32_t length) override;
  int32_t Receive(void* buffer, uint32_t size) override;
  uint32_t GetPeerAddress() override { return peerAddress_; }
  int32_t GetState() override;
  TResult GetLastResult() override { return lastResult_; }
  // A connecting socket is waited on for the end of its connect, whatever
  // is asked; a closed connection does not wait.
  bool WaitUntilReady(TConnectionWait what, uint32_t milliseconds) override;
  // The platform's last socket error number.
  virtual int32_t GetSystemError() = 0;

  // A connecting socket is watched for its connect to come through, a
  // listening one for a peer, a connected one as asked.
  void Watch(IIoWait& wait, bool readable, bool writable) override;

  // The size SO_SNDBUF was last raised to for a large send.
  uint32_t GetSendBufferSize() const { return sendBufferSize_; }

 private:
  void Poll();
  void Fail(const TResult& result);

  TResult lastResult_;
  TSocket socket_;
  // Whether the socket is this connection's to close: a listening
  // connection uses the interface's listening socket until it accepts.
  bool ownsSocket_;
  bool error_ = false;
  bool writable_ = false;
  bool readable_ = false;
  int32_t state_;
  uint32_t peerAddress_ = 0;
  uint32_t sendBufferSize_ = kInitialSendBufferSize;
  std::unique_ptr<TIoWait> wait_;
};
