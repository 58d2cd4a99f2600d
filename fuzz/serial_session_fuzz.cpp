// The agent's serial session against a far end that the fuzzer plays: line
// noise, well-formed and damaged frames of messages, acknowledgements and
// refusals of the session's own frames, clock jumps, failing writes, and
// host sockets that connect, send, refuse data and close when they like.
// Whatever comes, every frame the session writes is well formed, its DATA
// frames are numbered in turn, every frame from the far end is answered, the
// messages it sends are the serving side's and split cleanly however many
// frames its link gives up (it opens the link anew rather than leave half a
// message), and what waits for the line stays bounded.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "host_connection_table.h"
#include "serial_crc.h"
#include "serial_framer.h"
#include "serial_session.h"
#include "serial_testutil.h"
#include "../tests/platform/ready_network.h"

namespace {

constexpr uint8_t kData = 0x41;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;

// A host socket as the fuzzer scripts it; it outlives the connection object
// so that the fuzzer can still act on it after the session dropped it.
struct THostSocket {
  int32_t state = CONNECTION_CONNECTING;
  std::string toAgent;     // bytes the host has sent
  int32_t room = 1 << 20;  // bytes it takes per Send; negative: Send fails
  std::string received;
};

class TScriptedHostConnection : public IConnection {
 public:
  explicit TScriptedHostConnection(std::shared_ptr<THostSocket> socket) : socket_(std::move(socket)) {}
  int32_t Send(const void* data, uint32_t length) override {
    if (socket_->room < 0) return -1;
    const uint32_t taken = std::min<uint32_t>(length, static_cast<uint32_t>(socket_->room));
    socket_->received.append(static_cast<const char*>(data), taken);
    return static_cast<int32_t>(taken);
  }
  int32_t Receive(void* buffer, uint32_t size) override {
    if (socket_->toAgent.empty()) return socket_->state == CONNECTION_CLOSED ? -1 : 0;
    const size_t count = std::min<size_t>(size, socket_->toAgent.size());
    std::memcpy(buffer, socket_->toAgent.data(), count);
    socket_->toAgent.erase(0, count);
    return static_cast<int32_t>(count);
  }
  uint32_t GetPeerAddress() override { return 0x0100007F; }
  int32_t GetState() override { return socket_->state; }
  TResult GetLastResult() override { return TResult(); }

 private:
  std::shared_ptr<THostSocket> socket_;
};

class TScriptedHosts : public TReadyNetworkDouble {
 public:
  TResult Connect(const TNetAddress&, IConnection** out) override { return Make(CONNECTION_CONNECTING, out); }
  TResult Listen(uint16_t, IConnection** out) override { return Make(CONNECTION_LISTENING, out); }

  bool refuse = false;
  std::vector<std::shared_ptr<THostSocket>> sockets;

 private:
  TResult Make(int32_t state, IConnection** out) {
    *out = nullptr;
    if (refuse) return TResult(20001);
    auto socket = std::make_shared<THostSocket>();
    socket->state = state;
    sockets.push_back(socket);
    *out = new TScriptedHostConnection(socket);
    return TResult();
  }
};

// The far end of the line: writes frames to the session and checks
// everything the session writes back.
class TFarEnd {
 public:
  explicit TFarEnd(std::shared_ptr<SerialLine> line) : line_(std::move(line)) {}

  void SendFrame(uint8_t kind, uint8_t sequence, const std::string& payload, bool damaged) {
    std::vector<uint8_t> content = {kind, sequence, static_cast<uint8_t>(payload.size())};
    content.insert(content.end(), payload.begin(), payload.end());
    uint16_t crc = SerialCrc16(content.data(), content.size());
    if (damaged) crc = static_cast<uint16_t>(crc ^ 0x0101);
    content.push_back(static_cast<uint8_t>(crc >> 8));
    content.push_back(static_cast<uint8_t>(crc));
    const TByteBuffer escaped = TSerialFramer::Escape(content.data(), content.size());
    line_->PutToAgent(Bytes(escaped.Data(), escaped.Data() + escaped.Length()));
    if (kind == kData && !noisy_) {
      expectAnswer_ = damaged ? kNak : kAck;
      expectSequence_ = sequence;
    }
    // This far end opening its link anew: the session drops what it had
    // for the old link, half a message or not.
    if (kind == kData && !damaged && IsOpening(sequence, payload)) {
      stream_.clear();
      pending_ = false;
      gaps_ = gaps_ || noisy_;
    }
  }
  // Noise may end in a frame under way, which then swallows the next one:
  // from here on a frame need not be answered.
  void SendNoise(const std::string& bytes) {
    line_->PutToAgent(Bytes(bytes.begin(), bytes.end()));
    noisy_ = true;
  }

  // Takes what the session wrote since the last call and checks it.
  void CheckWritten(bool writesFailed) {
    bool answered = false;
    for (const Bytes& frame : SplitFrames(line_->TakeFromAgent())) {
      FUZZ_CHECK(frame.size() >= 5 && frame.size() == frame[2] + 5u);
      const uint16_t crc = SerialCrc16(frame.data(), frame.size() - 2);
      FUZZ_CHECK(frame[frame.size() - 2] == (crc >> 8) && frame[frame.size() - 1] == (crc & 0xFF));
      if (frame[0] == kAck || frame[0] == kNak) {
        FUZZ_CHECK(frame[2] == 0);
        if (frame[0] == expectAnswer_ && frame[1] == expectSequence_) answered = true;
        continue;
      }
      FUZZ_CHECK(frame[0] == kData);
      const std::string payload(frame.begin() + 3, frame.end() - 2);
      if (sent_ && IsOpening(frame[1], payload)) {
        // The session opened its link anew (an opening never goes out
        // twice): a fresh stream from here.
        FUZZ_CHECK(payload == Opening());
        sequence_ = frame[1];
        inFlight_ = payload;
        stream_ = payload;
        pending_ = false;
        sawReset_ = false;
        skips_ = false;
        CheckMessages();
        continue;
      }
      // After frames that never reached the line the number may have come
      // round again.
      if (sent_ && frame[1] == sequence_ && !skips_) {
        FUZZ_CHECK(payload == inFlight_);  // sent again
        refused_ = false;
        continue;
      }
      FUZZ_CHECK(!sent_ || skips_ || frame[1] == static_cast<uint8_t>(sequence_ + 1));
      Settle();
      sequence_ = frame[1];
      inFlight_ = payload;
      // The opening is never waited for; any other frame counts once it is
      // acknowledged, or once the next one comes without it being refused
      // (its acknowledgement lost on the way).
      pending_ = true;
      if (!sent_) Settle();
      sent_ = true;
    }
    if (expectAnswer_ != 0 && !writesFailed) FUZZ_CHECK(answered);
    expectAnswer_ = 0;
  }

  // Once bytes may have been lost the stream no longer splits into messages.
  void StreamMayHaveGaps() { gaps_ = true; }
  // A frame whose write failed never reached the line, but took its number.
  void WritesFail() { skips_ = true; }
  // This far end's answer to the frame in flight: taken, or refused (so far:
  // the session may send it again).
  void Acknowledged(uint8_t sequence) {
    if (sequence == sequence_) Settle();
  }
  void Refused() { refused_ = true; }
  uint8_t Sequence() const { return sequence_; }

 private:
  void Settle() {
    if (pending_ && !refused_) {
      stream_ += inFlight_;
      CheckMessages();
    }
    pending_ = false;
    refused_ = false;
  }

  static std::string Opening() { return std::string("\x00\x05\x09\x00\x00\x00\x00", 7); }
  static bool IsOpening(uint8_t sequence, const std::string& payload) {
    return sequence == 1 && payload.compare(0, 7, Opening()) == 0;
  }

  // The session opens with a reset and then speaks as the serving side.
  void CheckMessages() {
    while (!gaps_ && stream_.size() >= 2) {
      const size_t body = (static_cast<uint8_t>(stream_[0]) << 8) | static_cast<uint8_t>(stream_[1]);
      if (stream_.size() < 2 + body) return;
      FUZZ_CHECK(body >= 5);
      const uint8_t type = static_cast<uint8_t>(stream_[2]);
      if (!sawReset_) {
        FUZZ_CHECK(type == MSG_RESET && body == 5);
        sawReset_ = true;
      } else if (type == MSG_STATUS) {
        FUZZ_CHECK(body == 9);
      } else if (type == MSG_CLOSED) {
        FUZZ_CHECK(body == 5);
      } else if (type == MSG_ACCEPTED) {
        FUZZ_CHECK(body == 11);
      } else {
        FUZZ_CHECK(type == MSG_DATA_TO_CLIENT && body > 5 && body <= 5 + THostConnectionTable::kMaxChunk);
      }
      stream_.erase(0, 2 + body);
    }
  }

  std::shared_ptr<SerialLine> line_;
  uint8_t expectAnswer_ = 0;
  uint8_t expectSequence_ = 0;
  bool sent_ = false;
  uint8_t sequence_ = 0;
  std::string inFlight_;
  std::string stream_;
  bool sawReset_ = false;
  bool gaps_ = false;
  bool skips_ = false;
  bool noisy_ = false;
  bool pending_ = false;
  bool refused_ = false;
};

std::string Message(FuzzedDataProvider& input) {
  TSerialMessage message;
  message.type = input.ConsumeIntegralInRange<uint8_t>(0, 10);
  message.id = input.ConsumeIntegralInRange<uint32_t>(0, 5);
  message.address = input.ConsumeIntegral<uint32_t>();
  message.port = input.ConsumeIntegral<uint16_t>();
  const std::string data = input.ConsumeRandomLengthString(400);
  message.data = TByteBuffer(data);
  const TByteBuffer bytes = message.Serialize();
  return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Length());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  uint32_t now = 0;
  FakeSerialEnvironment environment(now);
  TScriptedHosts hosts;
  environment.Put(DEVICE_ETHERNET, 0, &hosts);
  auto line = std::make_shared<SerialLine>();
  TFarEnd far(line);
  TSerialSession session(new FakeSerialPort(line, 0), environment);
  session.SendReset();
  far.CheckWritten(false);

  uint8_t farSequence = 0;
  while (input.remaining_bytes() > 0) {
    bool writesFailed = line->writesFail[0];
    switch (input.ConsumeIntegralInRange(0, 8)) {
      case 0:
        far.SendNoise(input.ConsumeRandomLengthString(64));
        far.StreamMayHaveGaps();
        break;
      case 1: {
        // Messages, split into frames as the far end's link would.
        std::string stream;
        for (int n = input.ConsumeIntegralInRange(1, 3); n > 0; --n) stream += Message(input);
        const bool damaged = input.ConsumeIntegralInRange(0, 7) == 0;
        for (size_t at = 0; at < stream.size(); at += 255) {
          far.SendFrame(kData, ++farSequence, stream.substr(at, 255), damaged);
          session.Poll();
          far.CheckWritten(writesFailed);
        }
        continue;
      }
      case 2:
      {
        const uint8_t sequence = input.ConsumeBool() ? far.Sequence() : input.ConsumeIntegral<uint8_t>();
        far.SendFrame(kAck, sequence, "", false);
        far.Acknowledged(sequence);
      }
        break;
      case 3:
        far.SendFrame(kNak, far.Sequence(), "", false);
        far.Refused();
        break;
      case 4:
        now += input.ConsumeIntegralInRange<uint32_t>(0, 5000);
        break;
      case 5:
        line->writesFail[0] = input.ConsumeBool();
        if (line->writesFail[0]) far.WritesFail();
        writesFailed = writesFailed || line->writesFail[0];
        break;
      case 6:
        if (!hosts.sockets.empty()) {
          THostSocket& socket = *hosts.sockets[input.ConsumeIntegralInRange<size_t>(0, hosts.sockets.size() - 1)];
          const int what = input.ConsumeIntegralInRange(0, 3);
          if (what == 0) socket.state = CONNECTION_CONNECTED;
          if (what == 1) socket.state = CONNECTION_CLOSED;
          if (what == 2) socket.toAgent += std::string(input.ConsumeIntegralInRange<size_t>(0, 20000), 'h');
          if (what == 3) socket.room = input.ConsumeIntegralInRange<int32_t>(-1, 100);
        }
        break;
      case 7:
        hosts.refuse = input.ConsumeBool();
        break;
      default:
        break;
    }
    session.Poll();
    far.CheckWritten(writesFailed);
    FUZZ_CHECK(session.GetBacklog() <= THostConnectionTable::kMaxBacklog + 2 * THostConnectionTable::kMaxChunk);
  }
  return 0;
}
