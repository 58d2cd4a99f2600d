#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "agent_process.h"
#include "files/file_system.h"
#include "rs232_interface.h"
#include "rs232_test_line.h"
#include "serial_framer.h"
#include "system/io_wait.h"

// The serial port link of this build on a real line: a pseudo-terminal on
// Linux, a COM port of Wine mapped onto one on Windows.

namespace {

using Connection = std::unique_ptr<IConnection>;

// Every byte value once: a line that is not fully transparent (translating
// line ends, stripping the eighth bit, taking flow control characters or
// echoing) changes it.
std::string AllByteValues() {
  std::string bytes;
  for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
  return bytes;
}

class RS232Link : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    line_ = OpenRS232TestLine(&whyNot);
    if (!line_ && whyNot.empty()) FAIL() << "the test line did not open";
    if (!line_) GTEST_SKIP() << whyNot;
  }

  Connection OpenNear(IRS232Interface& ports, TRS232Settings settings = {}) {
    settings.port = line_->Port();
    IConnection* nearEnd = nullptr;
    const TResult result = ports.OpenPort(settings, &nearEnd);
    EXPECT_TRUE(result.Succeeded()) << "first code " << result.GetCode();
    return Connection(nearEnd);
  }

  void ExpectBothWays(IConnection& nearEnd) {
    char byte;
    EXPECT_EQ(nearEnd.Receive(&byte, 1), 0);
    const std::string bytes = AllByteValues();
    line_->SendFar(bytes);
    EXPECT_EQ(ReceiveFromPort(nearEnd, bytes.size()), bytes);
    EXPECT_EQ(nearEnd.Send(bytes.data(), static_cast<uint32_t>(bytes.size())),
              static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(line_->ReceiveFar(bytes.size()), bytes);
  }

  // Whether a wait that watches the port for bytes ends before its limit.
  static bool WakesForBytes(IWaitable& port, TIoWait& wait, uint32_t limit) {
    wait.Begin(limit);
    port.Watch(wait, true, false);
    return wait.Wait();
  }

  std::unique_ptr<IRS232Interface> ports_{NewPlatformRS232Interface(nullptr)};
  std::unique_ptr<TRS232TestLine> line_;
};

TEST_F(RS232Link, CarriesEveryByteValueBothWays) {
  Connection nearEnd = OpenNear(*ports_);
  ASSERT_TRUE(nearEnd);
  ExpectBothWays(*nearEnd);
}

// A character size no driver takes leaves the old line format, but the port
// is still a raw line whose reads come back when nothing has arrived.
TEST_F(RS232Link, StaysUsableWhenTheSettingsAreRefused) {
  TRS232Settings unusual;
  unusual.byteSize = 9;
  Connection nearEnd = OpenNear(*ports_, unusual);
  ASSERT_TRUE(nearEnd);
  ExpectBothWays(*nearEnd);
}

TEST_F(RS232Link, HoldsThePortExclusivelyUntilClosed) {
  if (!line_->WhyNotExclusive().empty()) GTEST_SKIP() << line_->WhyNotExclusive();
  Connection first = OpenNear(*ports_);
  ASSERT_TRUE(first);

  TRS232Settings settings;
  settings.port = line_->Port();
  IConnection* second = nullptr;
  const std::vector<int32_t> codes = ports_->OpenPort(settings, &second).Codes();
  EXPECT_EQ(second, nullptr);
  ASSERT_EQ(codes.size(), 2u);
  EXPECT_EQ(codes[0], RESULT_RS232_OPEN_FAILED);
  EXPECT_GT(codes[1], RESULT_RS232_SYSTEM_ERROR);

  first.reset();
  EXPECT_TRUE(OpenNear(*ports_));
}

TEST_F(RS232Link, HandsALargeWriteToTheLineWhole) {
  Connection nearEnd = OpenNear(*ports_);
  ASSERT_TRUE(nearEnd);
  std::string bytes(256 * 1024, '\0');
  std::mt19937 random(12);
  for (char& byte : bytes) byte = static_cast<char>(random());

  // The line holds far less than this, so the far end reads meanwhile.
  std::string received;
  std::thread farEnd([&] { received = line_->ReceiveFar(bytes.size()); });
  const int32_t sent = nearEnd->Send(bytes.data(), static_cast<uint32_t>(bytes.size()));
  farEnd.join();
  EXPECT_EQ(sent, static_cast<int32_t>(bytes.size()));
  EXPECT_TRUE(received == bytes) << received.size() << " of " << bytes.size() << " bytes came, or not as sent";
}

// A far end that stops reading: the writes that fill the line succeed, the
// first one the line does not take fails once the write budget has passed
// (a frame lost, as on any failed write) and so does the next; once the far
// end reads again, the port writes as before. The time-outs hold also when
// the driver refused the line settings.
TEST_F(RS232Link, AWriteTheStalledLineDoesNotTakeFailsAndTheLineRecovers) {
  TRS232Settings refused;
  refused.byteSize = 9;
  for (const TRS232Settings& settings : {TRS232Settings(), refused}) {
    SCOPED_TRACE(static_cast<int>(settings.byteSize));
    Connection nearEnd = OpenNear(*ports_, settings);
    ASSERT_TRUE(nearEnd);
    const std::string chunk(4096, 's');
    const uint32_t size = static_cast<uint32_t>(chunk.size());
    // Far more than any line holds before it stops taking bytes.
    constexpr size_t kFlood = 4 * 1024 * 1024;
    size_t taken = 0;
    int32_t stalled = 0;
    std::vector<int32_t> codes;
    int32_t again = 0;
    // The writes run beside the test: one that waits for ever makes the test
    // fail instead of hanging the run.
    std::future<void> writes = std::async(std::launch::async, [&] {
      while (taken < kFlood && (stalled = nearEnd->Send(chunk.data(), size)) == static_cast<int32_t>(size)) {
        taken += size;
      }
      codes = nearEnd->GetLastResult().Codes();
      again = nearEnd->Send(chunk.data(), size);
    });
    if (writes.wait_for(std::chrono::milliseconds(kRS232QuietGiveUpMs)) != std::future_status::ready) {
      ADD_FAILURE() << "a write waits for the far end to read";
      while (writes.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        line_->ReceiveFar(chunk.size());
      }
      continue;
    }
    ASSERT_LT(taken, kFlood) << "the line never stopped taking bytes";
    EXPECT_EQ(-1, stalled);
    const std::vector<int32_t> timedOut = {RESULT_RS232_IO_FAILED,
                                           RESULT_RS232_SYSTEM_ERROR + RS232WriteTimeoutError()};
    EXPECT_EQ(timedOut, codes);
    EXPECT_EQ(-1, again) << "the line has not moved";

    EXPECT_EQ(taken, line_->ReceiveFar(taken).size());
    EXPECT_EQ(static_cast<int32_t>(size), nearEnd->Send(chunk.data(), size)) << "the line moves again";
    // What the line still holds (a part of the failed write among it) is
    // read up to a last mark, so that the next case finds it empty.
    ASSERT_EQ(1, nearEnd->Send("!", 1));
    std::string read;
    do {
      read = line_->ReceiveFar(1);
    } while (!read.empty() && read.back() != '!');
  }
}

// A loop waiting on the port sleeps while the line is quiet and wakes when
// bytes arrive; bytes the port has read ahead and not yet handed out wake
// it at once.
TEST_F(RS232Link, WakesAWaitWhenBytesArrive) {
  Connection nearEnd = OpenNear(*ports_);
  ASSERT_TRUE(nearEnd);
  auto* port = dynamic_cast<IWaitable*>(nearEnd.get());
  ASSERT_NE(port, nullptr);
  TIoWait wait;
  auto wakes = [&](uint32_t limit) { return WakesForBytes(*port, wait, limit); };
  constexpr uint32_t kQuiet = 50;
  char byte = 0;
  EXPECT_FALSE(wakes(kQuiet)) << "a quiet line";
  EXPECT_EQ(0, nearEnd->Receive(&byte, 1));
  EXPECT_FALSE(wakes(kQuiet)) << "still quiet after a read found nothing";

  line_->SendFar("xyz");
  std::string read;
  while (read.size() < 3 && wakes(kRS232QuietGiveUpMs)) {
    const int32_t n = nearEnd->Receive(&byte, 1);
    ASSERT_GE(n, 0);
    if (n == 1) read += byte;
  }
  EXPECT_EQ("xyz", read) << "every wake came with bytes or before them";
  EXPECT_FALSE(wakes(kQuiet)) << "quiet again";

  // A reader that has the start of a frame and needs the rest sleeps
  // through the rest's first bytes.
  const std::string frame(300, 'f');
  line_->SendFar(frame.substr(0, 1));
  EXPECT_EQ(frame.substr(0, 1), ReceiveFromPort(*nearEnd, 1));
  line_->SendFar(frame.substr(1, 1));
  wait.Begin(10);
  port->WatchForBytes(wait, frame.size() - 1);
  EXPECT_FALSE(wait.Wait()) << "one byte of the 299 still to come";
  line_->SendFar(frame.substr(2));
  EXPECT_EQ(frame.substr(1), ReceiveFromPort(*nearEnd, frame.size() - 1));
}

// A frame cut short (a byte lost, its length byte damaged, a PIN pad that
// restarted in the middle of one) ends at the next delimiter, and the frames
// after it come through once they have arrived, read as the relay loop reads
// them: the port never waits for bytes that a length byte promised and the
// line does not send.
TEST_F(RS232Link, AFrameCutShortEndsAtTheNextDelimiter) {
  Connection nearEnd = OpenNear(*ports_);
  ASSERT_TRUE(nearEnd);
  TSerialFramer framer(nearEnd.release());
  TIoWait wait;
  // One relay turn after another until the condition holds; false when the
  // line has been given long enough.
  auto turnUntil = [&](const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRS232QuietGiveUpMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      wait.Begin(20);
      framer.Watch(wait);
      wait.Wait();
    }
    return true;
  };
  auto nextFrame = [&] {
    TByteBuffer frame;
    turnUntil([&] { return framer.ReadFrame(&frame); });
    return frame.ToString();
  };
  // The start of a frame that claims 255 payload bytes, taken in by the
  // framer, which then waits for the rest for a turn.
  auto sendCutFrame = [&](const std::string& start) {
    line_->SendFar(start);
    TByteBuffer none;
    ASSERT_TRUE(turnUntil([&] { return !framer.ReadFrame(&none) && framer.BytesToFrameEnd() > 200; }));
    wait.Begin(20);
    framer.Watch(wait);
    wait.Wait();
  };
  const std::string reset("\xC0\x41\x01\x07\x00\x05\x09\x00\x00\x00\x00\x3B\x20\xC0", 14);
  const std::string ack("\xC0\x06\x01\x00\x4D\x0D\xC0", 7);

  // A restart: the reset frame's own opening delimiter ends the cut frame.
  sendCutFrame(std::string("\xC0\x41\x05\xFF\x01", 5));
  line_->SendFar(reset);
  EXPECT_EQ(std::string("\x41\x05\xFF\x01", 4), nextFrame());
  EXPECT_EQ(reset.substr(1, reset.size() - 2), nextFrame()) << "the reset frame";
  // A damaged length byte: the frame's closing delimiter ends it.
  sendCutFrame(std::string("\xC0\x41\x06\xFF\x01", 5));
  line_->SendFar(std::string("\x02\xC0", 2) + ack);
  EXPECT_EQ(std::string("\x41\x06\xFF\x01\x02", 5), nextFrame());
  EXPECT_EQ(ack.substr(1, ack.size() - 2), nextFrame()) << "the acknowledgement after it";
}

// A device that goes away (an adapter pulled out) fails the port: its reads
// and writes fail, it answers closed, so that it is opened anew, and a loop
// that watches it sleeps out its waits instead of waking on it.
TEST_F(RS232Link, APortWhoseDeviceWentAwayAnswersClosed) {
  if (!line_->WhyNotCut().empty()) GTEST_SKIP() << line_->WhyNotCut();
  Connection nearEnd = OpenNear(*ports_);
  ASSERT_TRUE(nearEnd);
  auto* port = dynamic_cast<IWaitable*>(nearEnd.get());
  ASSERT_NE(port, nullptr);
  TIoWait wait;
  auto wakes = [&](uint32_t limit) { return WakesForBytes(*port, wait, limit); };
  EXPECT_FALSE(wakes(10)) << "a quiet line, watched as the device goes";
  line_->Cut();

  char byte = 0;
  int32_t read = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRS232QuietGiveUpMs);
  while ((read = nearEnd->Receive(&byte, 1)) == 0 && std::chrono::steady_clock::now() < deadline) wakes(20);
  EXPECT_EQ(-1, read);
  EXPECT_EQ(CONNECTION_CLOSED, nearEnd->GetState());
  EXPECT_EQ(-1, nearEnd->Send("x", 1));
  EXPECT_FALSE(wakes(50)) << "a failed device watched";
  EXPECT_EQ(-1, nearEnd->Receive(&byte, 1));
  EXPECT_EQ(CONNECTION_CLOSED, nearEnd->GetState());
}

TEST_F(RS232Link, LogsItsTrafficUnderThePortNumber) {
  namespace fs = std::filesystem;
  const std::string folder = "rs232-log-" + std::to_string(line_->Port());
  const fs::path root = fs::path(TestProgramDirectory()) / folder;
  fs::create_directories(root);
  {
    std::unique_ptr<IFileSystem> logs(NewPlatformFileSystem(folder.c_str()));
    std::unique_ptr<IRS232Interface> ports(NewPlatformRS232Interface(logs.get()));
    Connection nearEnd = OpenNear(*ports);
    ASSERT_TRUE(nearEnd);
    nearEnd->Send("ping", 4);
    EXPECT_EQ(line_->ReceiveFar(4), "ping");
    line_->SendFar("pong");
    EXPECT_EQ(ReceiveFromPort(*nearEnd, 4), "pong");
  }
  std::ifstream file(root / ("CommLog" + std::to_string(line_->Port()) + ".txt"), std::ios::binary);
  std::stringstream log;
  log << file.rdbuf();
  file.close();
  fs::remove_all(root);

  size_t at = 0;
  for (const char* expected : {"Connected", "70 69 6E 67", "<", "Disconnected"}) {
    at = log.str().find(expected, at);
    ASSERT_NE(at, std::string::npos) << "no " << expected << " in order in:\n" << log.str();
  }
  // Each read is an entry of its own: the reply may come in pieces.
  std::string received;
  std::istringstream lines(log.str());
  for (std::string entry; std::getline(lines, entry);) {
    const size_t from = entry.find('<');
    if (from == std::string::npos) continue;
    std::istringstream bytes(entry.substr(from + 1, entry.find('|') - from - 1));
    for (std::string hex; bytes >> hex;) received += static_cast<char>(std::stoi(hex, nullptr, 16));
  }
  EXPECT_EQ("pong", received) << log.str();
}

TEST(RS232Port, ReportsAMissingPortWithTheSystemsReason) {
  std::unique_ptr<IRS232Interface> ports(NewPlatformRS232Interface(nullptr));
  TRS232Settings settings;
  settings.port = MissingRS232Port();
  IConnection* nearEnd = nullptr;
  const std::vector<int32_t> expected = {RESULT_RS232_OPEN_FAILED,
                                         RESULT_RS232_SYSTEM_ERROR + MissingRS232PortError()};
  EXPECT_EQ(ports->OpenPort(settings, &nearEnd).Codes(), expected);
  EXPECT_EQ(nearEnd, nullptr);
}

}  // namespace
