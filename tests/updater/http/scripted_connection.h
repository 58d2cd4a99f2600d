#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "http/http_client.h"
#include "net/waitable_connection.h"
#include "../../platform/ready_network.h"

// What the client did on a scripted connection.
struct TConnectionLog {
  int waitsWhileConnecting = 0;
  int sendWaits = 0;
  int receiveWaits = 0;
  // Calls that found nothing to do right after one that had found nothing,
  // without a wait between them: a client that spins.
  int askedAgainWithoutWaiting = 0;
  uint32_t longestWait = 0;
  std::string request;
};

// A connection that has nothing for the client until it is waited on: the
// connect ends after two waits, the first send finds no room until a wait,
// and each wait for bytes hands out the next piece. With no piece left a
// wait sleeps the time asked, as on a silent socket.
class TScriptedConnection : public IConnection, public IWaitableConnection {
 public:
  TScriptedConnection(std::vector<std::string> pieces, TConnectionLog& log)
      : pieces_(pieces.begin(), pieces.end()), log_(log) {}

  int32_t Send(const void* data, uint32_t length) override {
    if (!roomToSend_) return Nothing();
    askedInVain_ = false;
    log_.request.append(static_cast<const char*>(data), length);
    return static_cast<int32_t>(length);
  }
  int32_t Receive(void* buffer, uint32_t size) override {
    if (ready_.empty()) return Nothing();
    askedInVain_ = false;
    const size_t count = std::min<size_t>(size, ready_.size());
    std::memcpy(buffer, ready_.data(), count);
    ready_.erase(0, count);
    return static_cast<int32_t>(count);
  }
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return connectWaits_ < 2 ? CONNECTION_CONNECTING : CONNECTION_CONNECTED; }
  TResult GetLastResult() override { return TResult(); }

  bool WaitUntilReady(TConnectionWait what, uint32_t milliseconds) override {
    askedInVain_ = false;
    log_.longestWait = std::max(log_.longestWait, milliseconds);
    if (connectWaits_ < 2) {
      EXPECT_EQ(what, TConnectionWait::Send) << "a connect ends when the socket can be written";
      ++log_.waitsWhileConnecting;
      ++connectWaits_;
      return true;
    }
    if (what == TConnectionWait::Send) {
      ++log_.sendWaits;
      roomToSend_ = true;
      return true;
    }
    ++log_.receiveWaits;
    if (!pieces_.empty()) {
      ready_ += pieces_.front();
      pieces_.pop_front();
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return false;
  }

 private:
  int32_t Nothing() {
    if (askedInVain_) ++log_.askedAgainWithoutWaiting;
    askedInVain_ = true;
    return 0;
  }

  std::deque<std::string> pieces_;
  TConnectionLog& log_;
  std::string ready_;
  int connectWaits_ = 0;
  bool roomToSend_ = false;
  bool askedInVain_ = false;
};

// A network channel that hands out one scripted connection.
class TScriptedNetwork : public TReadyNetworkDouble {
 public:
  explicit TScriptedNetwork(IConnection* connection) : connection_(connection) {}
  TResult Connect(const TNetAddress&, IConnection** out) override {
    *out = connection_.release();
    return TResult();
  }

 private:
  std::unique_ptr<IConnection> connection_;
};

// An HTTP client whose channel is a scripted network.
class TScriptedClient : public THttpClient {
 public:
  TScriptedClient(std::vector<std::string> pieces, TConnectionLog& log)
      : network_(new TScriptedConnection(std::move(pieces), log)) {}
  TResult OpenChannel(INetworkInterface** out) override {
    *out = &network_;
    return TResult();
  }

 private:
  TScriptedNetwork network_;
};
