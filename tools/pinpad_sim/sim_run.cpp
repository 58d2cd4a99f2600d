#include "sim_run.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include "serial_message.h"
#include "serial_network_interface.h"
#include "sim_port.h"
#include "sim_timings.h"
#include "system/io_wait.h"

namespace {

using Clock = std::chrono::steady_clock;

// Data goes to the agent in pieces of this size, each sent once the previous
// one is acknowledged, so the link's queue stays small and the agent writes
// each piece to its socket in one go.
constexpr uint32_t kSendPiece = 16384;

// The longest the simulator sleeps between looks at the line when nothing
// wakes it, as the agent's relay loop does.
constexpr uint32_t kLongestWait = 20;

void Report(const char* text) { std::fprintf(stderr, "pinpad-sim: %s\n", text); }

// The agent reports a peer's address in the byte order of its socket layer,
// which puts the octets on the wire last first.
std::string PeerText(IpAddress wire) {
  char text[16];
  FormatIpAddress(((wire & 0xFF) << 24) | ((wire & 0xFF00) << 8) | ((wire >> 8) & 0xFF00) | (wire >> 24),
                  text);
  return text;
}

class TSimulator {
 public:
  explicit TSimulator(const TSimOptions& options)
      : options_(options),
        device_(options.port, faults_),
        environment_(device_),
        interface_(1, environment_),
        start_(Clock::now()),
        deadline_(start_ + std::chrono::seconds(options.timeLimitSeconds)) {}

  int Run() {
    if (!OpenOutput()) return SIM_FAILED;
    if (!OpenLink()) return SIM_FAILED;
    // The faults start once the link is up: the reset that opens it is never
    // repeated, so a fault there would only make the opening fail.
    faults_.badCrcFrames = options_.badCrcFrames;
    faults_.withheldAcks = options_.withheldAcks;
    faults_.noiseBytes = options_.noiseBytes;
    int status = SIM_DONE;
    uint32_t made = 0;
    while (status == SIM_DONE && made < options_.connections) {
      timings_ = TSimTimings();
      timings_.ConnectRequested();
      if (!OpenConnection()) {
        status = SIM_FAILED;
        break;
      }
      ++made;
      timings_.Connected();
      status = options_.exchanges.empty() ? Transfer() : Exchange();
      connection_.reset();  // asks the agent to close a connection still open
      WaitUntilSent();
      timings_.Closed();
    }
    char summary[200];
    std::snprintf(summary, sizeof summary,
                  "%lu connections: sent %llu bytes, received %llu bytes in %.3f s (%lu DATA frames, %lu NAKs)",
                  static_cast<unsigned long>(made), static_cast<unsigned long long>(sent_),
                  static_cast<unsigned long long>(received_),
                  std::chrono::duration<double>(Clock::now() - start_).count(),
                  static_cast<unsigned long>(faults_.dataFramesSent),
                  static_cast<unsigned long>(faults_.naksReceived));
    Report(summary);
    std::fputs(timings_.Report().c_str(), stderr);
    if (output_ && output_ != stdout) std::fclose(output_);
    return status;
  }

 private:
  bool TimeIsUp() const { return Clock::now() >= deadline_; }

  // Sleeps until the line or the link's timer has something for the next
  // poll, or for at most the given time; the simulator waits as the agent
  // does, so that what is measured through both is the agent's pace.
  void WaitForLine(uint32_t milliseconds = kLongestWait) {
    wait_.Begin(milliseconds);
    interface_.Watch(wait_);
    wait_.Wait();
  }

  bool OpenOutput() {
    output_ = options_.outputFile.empty() ? stdout : std::fopen(options_.outputFile.c_str(), "wb");
    if (!output_) Report(("cannot write " + options_.outputFile).c_str());
    return output_ != nullptr;
  }

  // The agent may not hold its port yet (it retries every 5 seconds), so the
  // link is tried until the time limit.
  bool OpenLink() {
    while (!TimeIsUp()) {
      if (interface_.Open().Succeeded()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    Report(("no agent answered on " + options_.port).c_str());
    return false;
  }

  bool OpenConnection() {
    IConnection* connection = nullptr;
    const TResult asked = options_.listen ? interface_.Listen(options_.target.port, &connection)
                                          : interface_.Connect(options_.target, &connection);
    connection_.reset(connection);
    if (!connection_) {
      Report(("the request was refused, code " + std::to_string(asked.GetCode())).c_str());
      return false;
    }
    int32_t state = CONNECTION_CONNECTING;
    while ((state == CONNECTION_CONNECTING || state == CONNECTION_LISTENING) && !TimeIsUp()) {
      WaitForLine();
      state = connection_->GetState();
    }
    if (state == CONNECTION_CONNECTED) {
      Report(options_.listen ? ("accepted a peer from " + PeerText(connection_->GetPeerAddress())).c_str()
                             : "connected");
      return true;
    }
    if (state == CONNECTION_CLOSED) {
      const int32_t code = connection_->GetLastResult().GetCode();
      Report(code == RESULT_NOT_YET_REPORTED
                 ? "the agent closed the connection before it was made"
                 : ("the agent could not make the connection, code " + std::to_string(code)).c_str());
    } else {
      Report("time limit reached before the connection was made");
    }
    connection_.reset();
    return false;
  }

  int Transfer() {
    const std::string& data = options_.data;
    size_t next = 0;
    const uint64_t receivedBefore = received_;
    auto lastActivity = Clock::now();
    char buffer[4096];
    while (!TimeIsUp()) {
      if (options_.resetAfterSending && next >= options_.resetAfterBytes) return ReopenLink();
      bool moved = false;
      if (next < data.size() && faults_.LineIsIdle()) {
        uint64_t piece = std::min<uint64_t>(kSendPiece, data.size() - next);
        if (options_.resetAfterSending) piece = std::min<uint64_t>(piece, options_.resetAfterBytes - next);
        const int32_t taken = connection_->Send(data.data() + next, static_cast<uint32_t>(piece));
        if (taken < 0) {
          Report("the connection closed before everything was sent");
          return SIM_FAILED;
        }
        next += static_cast<size_t>(taken);
        sent_ += static_cast<uint64_t>(taken);
        lastActivity = Clock::now();
        moved = true;
      }
      const int32_t count = connection_->Receive(buffer, sizeof buffer);
      if (count < 0) {
        Report("closed by the far side");
        return SIM_DONE;
      }
      if (count > 0) {
        Deliver(buffer, count);
        lastActivity = Clock::now();
        moved = true;
        if (options_.closeAfterReceived != 0 && received_ - receivedBefore >= options_.closeAfterReceived) {
          Report("enough received, closing");
          return SIM_DONE;
        }
      }
      const bool allSent = next == data.size() && faults_.LineIsIdle();
      if (allSent) timings_.AllSent();
      if (!allSent) lastActivity = std::max(lastActivity, Clock::now());
      if (options_.quietCloseMs != 0 && allSent &&
          Clock::now() - lastActivity >= std::chrono::milliseconds(options_.quietCloseMs)) {
        Report("closing");
        return SIM_DONE;
      }
      if (!moved) WaitForLine();
    }
    Report("time limit reached");
    return SIM_FAILED;
  }

  // Request after request, each once the whole previous one has come back.
  int Exchange() {
    char buffer[4096];
    for (const uint32_t size : options_.exchanges) {
      std::string request(size, '\0');
      for (uint32_t i = 0; i < size; ++i) request[i] = static_cast<char>('a' + (sent_ + i) % 26);
      const auto start = Clock::now();
      size_t next = 0;
      uint64_t back = 0;
      while (back < size) {
        if (TimeIsUp()) {
          Report("time limit reached");
          return SIM_FAILED;
        }
        bool moved = false;
        if (next < request.size()) {
          const int32_t taken = connection_->Send(request.data() + next, static_cast<uint32_t>(request.size() - next));
          if (taken < 0) {
            Report("the connection closed before everything was sent");
            return SIM_FAILED;
          }
          next += static_cast<size_t>(taken);
          sent_ += static_cast<uint64_t>(taken);
          moved = taken > 0;
        }
        const int32_t count = connection_->Receive(buffer, sizeof buffer);
        if (count < 0) {
          Report("closed by the far side in the middle of an exchange");
          return SIM_FAILED;
        }
        if (count > 0) {
          Deliver(buffer, count);
          back += static_cast<uint64_t>(count);
          moved = true;
        }
        if (!moved) WaitForLine();
      }
      timings_.RoundTrip(Clock::now() - start);
    }
    Report("exchanges done, closing");
    return SIM_DONE;
  }

  void Deliver(const char* bytes, int32_t count) {
    std::fwrite(bytes, 1, static_cast<size_t>(count), output_);
    std::fflush(output_);
    received_ += static_cast<uint64_t>(count);
    timings_.Received();
  }

  // A PIN pad that restarts opens its link afresh; the reset that opening
  // sends voids every connection of the earlier session.
  int ReopenLink() {
    WaitUntilSent();
    interface_.Close();
    connection_.reset();
    if (!interface_.Open().Succeeded()) {
      Report("the agent did not answer the reopened link");
      return SIM_FAILED;
    }
    Report("link reopened");
    return SIM_DONE;
  }

  // Keeps the link going until the agent has acknowledged everything sent.
  void WaitUntilSent() {
    while (!faults_.LineIsIdle() && !TimeIsUp()) {
      interface_.Poll();
      if (!faults_.LineIsIdle()) WaitForLine();
    }
  }

  const TSimOptions& options_;
  TLineFaults faults_;
  TSimulatorPortDevice device_;
  TSimulatorEnvironment environment_;
  TSerialNetworkInterface interface_;
  std::unique_ptr<IConnection> connection_;
  TIoWait wait_;
  TSimTimings timings_;
  FILE* output_ = nullptr;
  Clock::time_point start_;
  Clock::time_point deadline_;
  uint64_t sent_ = 0;
  uint64_t received_ = 0;
};

}  // namespace

int RunSimulator(const TSimOptions& options) {
  TSimulator simulator(options);
  return simulator.Run();
}
