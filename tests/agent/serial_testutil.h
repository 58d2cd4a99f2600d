#pragma once
#include <gtest/gtest.h>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "files/byte_buffer.h"
#include "net/network.h"
#include "rs232_interface.h"
#include "serial_environment.h"
#include "serial_link.h"
#include "serial_message.h"
#include "fake_timer.h"

// Stand-ins for the serial port and the clock, so that the protocol runs in
// memory and its 2- and 3-second timers pass in no time.

using Bytes = std::vector<uint8_t>;

// Both directions of a serial cable. Side 0 is the agent's port, side 1 the
// far end's; a test that plays the far end byte by byte uses the queues
// directly.
struct SerialLine {
  std::deque<uint8_t> toSide[2];
  bool writesFail[2] = {false, false};
  bool closed[2] = {false, false};

  std::deque<uint8_t>& ToAgent() { return toSide[0]; }
  std::deque<uint8_t>& FromAgent() { return toSide[1]; }
  void PutToAgent(const Bytes& bytes) { ToAgent().insert(ToAgent().end(), bytes.begin(), bytes.end()); }
  Bytes TakeFromAgent() {
    Bytes bytes(FromAgent().begin(), FromAgent().end());
    FromAgent().clear();
    return bytes;
  }
};

// One end of the cable as the serial port device hands it out: one byte per
// Receive, everything in one Send.
class FakeSerialPort : public IConnection {
 public:
  FakeSerialPort(std::shared_ptr<SerialLine> line, int side) : line_(std::move(line)), side_(side) {}
  ~FakeSerialPort() override { line_->closed[side_] = true; }
  int32_t Send(const void* data, uint32_t length) override {
    if (line_->writesFail[side_]) return -1;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    line_->toSide[1 - side_].insert(line_->toSide[1 - side_].end(), bytes, bytes + length);
    return static_cast<int32_t>(length);
  }
  int32_t Receive(void* buffer, uint32_t size) override {
    auto& in = line_->toSide[side_];
    if (in.empty() || size == 0) return 0;
    *static_cast<uint8_t*>(buffer) = in.front();
    in.pop_front();
    return 1;
  }
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return CONNECTION_CONNECTED; }
  TResult GetLastResult() override { return TResult(); }

 private:
  std::shared_ptr<SerialLine> line_;
  int side_;
};

class FakeSerialPorts : public IRS232Interface {
 public:
  FakeSerialPorts(std::shared_ptr<SerialLine> line, int side) : line_(std::move(line)), side_(side) {}
  TResult Open() override { return TResult(); }
  void Close() override {}
  TResult OpenPort(const TRS232Settings& settings, IConnection** out) override {
    opened.push_back(settings);
    *out = available ? new FakeSerialPort(line_, side_) : nullptr;
    return available ? TResult() : TResult(20001);
  }
  bool available = true;
  std::vector<TRS232Settings> opened;

 private:
  std::shared_ptr<SerialLine> line_;
  int side_;
};

// Devices by type and index, and a clock that Idle moves on by 1 ms.
class FakeSerialEnvironment : public ISerialEnvironment {
 public:
  explicit FakeSerialEnvironment(uint32_t& now) : now_(now) {}
  IDevice* GetDevice(uint32_t type, uint32_t index) override {
    auto found = devices.find(type * 0x10000 + index);
    return found == devices.end() ? nullptr : found->second;
  }
  ITimer* CreateTimer(uint32_t milliseconds) override { return new FakeTimer(now_, milliseconds); }
  void Idle() override {
    ++now_;
    if (whenIdle) whenIdle();
  }
  void Put(uint32_t type, uint32_t index, IDevice* device) { devices[type * 0x10000 + index] = device; }

  std::map<uint32_t, IDevice*> devices;
  std::function<void()> whenIdle;

 private:
  uint32_t& now_;
};

// The content of every frame in the bytes, with the escapes undone.
std::vector<Bytes> SplitFrames(const Bytes& line);
// A whole frame on the line: kind, sequence, payload length, payload, CRC.
Bytes LineFrame(uint8_t kind, uint8_t sequence, const Bytes& payload);
Bytes Serialized(const TSerialMessage& message);
TSerialMessage Message(uint8_t type, uint32_t id);

// Success when each expected piece is found in the text after the one
// before it (a trace's entries, in the order they happened). Inline, so that
// the fuzz targets that share these helpers need no test library.
inline ::testing::AssertionResult FoundInOrder(const std::string& text, const std::vector<std::string>& expected) {
  size_t from = 0;
  for (const std::string& piece : expected) {
    const size_t at = text.find(piece, from);
    if (at == std::string::npos) {
      return ::testing::AssertionFailure() << "missing or out of order: " << piece << "\nin:\n" << text;
    }
    from = at + piece.size();
  }
  return ::testing::AssertionSuccess();
}

// The far end of the cable speaking the protocol at the message level.
class SerialFarEnd {
 public:
  SerialFarEnd(std::shared_ptr<SerialLine> line, ISerialEnvironment& environment)
      : link_(new FakeSerialPort(std::move(line), 1), environment) {}
  bool Send(const TSerialMessage& message) { return link_.Transmit(message.Serialize()); }
  // Every whole message received since the last call.
  std::vector<TSerialMessage> Receive();
  TSerialLink& Link() { return link_; }

 private:
  TSerialLink link_;
  TByteBuffer stream_;
};
