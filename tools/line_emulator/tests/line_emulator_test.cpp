#include <gtest/gtest.h>
#include <algorithm>
#include <deque>
#include <string>
#include <vector>
#include "emulator_options.h"
#include "line_emulator.h"

// The emulator on a fake clock: its waits only move the clock (to when the
// next byte is written into an end, or to the time it asked for, plus any
// lateness the test gives them), so what is checked is its own schedule.

namespace {

constexpr TNanoseconds kMs = 1'000'000;
constexpr TNanoseconds kSecond = 1000 * kMs;

struct Delivery {
  TNanoseconds at;
  std::string bytes;
};

class FakeEnds : public ILineEnds {
 public:
  // The program at the end writes the bytes at that time.
  void WriteInto(int end, TNanoseconds at, const std::string& bytes) { writes_[end].push_back({at, bytes}); }

  TNanoseconds Now() override { return now_; }
  bool Wait(const bool readable[2], const bool writable[2], TNanoseconds until) override {
    Arrive();
    for (int end = 0; end < 2; ++end) {
      if ((readable[end] && !written_[end].empty()) || (writable[end] && takes[end] > 0)) return true;
    }
    TNanoseconds next = until;
    for (int end = 0; end < 2; ++end) {
      if (readable[end] && !writes_[end].empty()) next = std::min(next, writes_[end].front().at);
    }
    if (next == kNever) return false;  // nothing is ever to happen again
    now_ = std::max(now_, next) + lateBy;
    Arrive();
    return true;
  }
  size_t Read(int end, uint8_t* buffer, size_t size) override {
    const size_t count = std::min(size, written_[end].size());
    std::copy(written_[end].begin(), written_[end].begin() + static_cast<std::ptrdiff_t>(count), buffer);
    written_[end].erase(0, count);
    return count;
  }
  size_t Write(int end, const uint8_t* bytes, size_t size) override {
    const size_t count = std::min(size, takes[end]);
    takes[end] -= count;
    if (count > 0) received[end].push_back({now_, std::string(bytes, bytes + count)});
    return count;
  }

  std::string All(int end) const {
    std::string bytes;
    for (const Delivery& delivery : received[end]) bytes += delivery.bytes;
    return bytes;
  }
  TNanoseconds LastAt(int end) const { return received[end].empty() ? -1 : received[end].back().at; }

  // How late every wait wakes, as on a loaded machine.
  TNanoseconds lateBy = 0;
  // How much the program at each end still reads.
  size_t takes[2] = {SIZE_MAX, SIZE_MAX};
  std::vector<Delivery> received[2];

 private:
  void Arrive() {
    for (int end = 0; end < 2; ++end) {
      while (!writes_[end].empty() && writes_[end].front().at <= now_) {
        written_[end] += writes_[end].front().bytes;
        writes_[end].pop_front();
      }
    }
  }

  TNanoseconds now_ = 0;
  std::deque<Delivery> writes_[2];
  std::string written_[2];
};

std::string Pattern(size_t size, char first) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(first + i % 23);
  return bytes;
}

struct LineRun {
  explicit LineRun(TDirectionSettings settings = {}) : directions{settings, settings} {}
  void Go() {
    TLineEmulator emulator(directions, ends);
    emulator.Run();
    counts[0] = emulator.From(0).Counts();
    counts[1] = emulator.From(1).Counts();
  }
  TDirectionSettings directions[2];
  FakeEnds ends;
  TDirectionCounts counts[2];
};

// 11,520 bytes at 115200 baud take one second, each direction on its own,
// and a pacer that wakes late every time still keeps the line's time.
TEST(LineEmulator, CarriesEachDirectionAtTheLineRateWithoutDrift) {
  for (TNanoseconds late : {TNanoseconds(0), 3 * kMs}) {
    SCOPED_TRACE(late);
    LineRun run;
    run.ends.lateBy = late;
    const std::string ab = Pattern(11520, 'a');
    const std::string ba = Pattern(5760, 'A');
    run.ends.WriteInto(0, 0, ab);
    run.ends.WriteInto(1, 250 * kMs, ba);
    run.Go();
    EXPECT_EQ(ab, run.ends.All(1));
    EXPECT_EQ(ba, run.ends.All(0));
    EXPECT_NEAR(double(1 * kSecond), double(run.ends.LastAt(1)), 0.05 * kSecond);
    EXPECT_NEAR(double(750 * kMs), double(run.ends.LastAt(0)), 0.05 * 500 * kMs);
    // Without lateness the schedule is exact: the FIFO's last sixteen bytes
    // are handed over as the last one arrives.
    if (late == 0) {
      EXPECT_EQ(1 * kSecond, run.ends.LastAt(1));
      EXPECT_EQ(run.ends.received[1].front().bytes.size(), 16u);
    } else {
      EXPECT_LE(run.ends.LastAt(1), 1 * kSecond + late);
    }
    EXPECT_EQ(11520u, run.counts[0].carried);
    EXPECT_EQ(5760u, run.counts[1].carried);
  }
}

// The receiving UART hands bytes over when its FIFO is full, or 4 character
// times after the last byte; a latency delays everything alike.
TEST(LineEmulator, HandsOverFullFifosAndTheRestAfterFourQuietCharacters) {
  for (TNanoseconds latency : {TNanoseconds(0), 5 * kMs}) {
    TDirectionSettings settings;
    settings.latency = latency;
    LineRun run(settings);
    auto lineTime = [](TNanoseconds bytes) { return bytes * 10 * kSecond / 115200; };
    run.ends.WriteInto(0, 0, Pattern(20, 'a'));
    run.Go();
    ASSERT_EQ(2u, run.ends.received[1].size());
    EXPECT_EQ(16u, run.ends.received[1][0].bytes.size());
    EXPECT_EQ(lineTime(16) + latency, run.ends.received[1][0].at);
    EXPECT_EQ(4u, run.ends.received[1][1].bytes.size());
    EXPECT_EQ(lineTime(20) + 4 * lineTime(1) + latency, run.ends.received[1][1].at);
  }
}

TEST(LineEmulator, FlipsDropsAndStallsAsAsked) {
  {  // every byte flipped: each arrives with exactly one bit changed
    TDirectionSettings settings;
    settings.flipRate = 1;
    LineRun run(settings);
    const std::string sent = Pattern(1000, 'a');
    run.ends.WriteInto(0, 0, sent);
    run.Go();
    const std::string got = run.ends.All(1);
    ASSERT_EQ(sent.size(), got.size());
    for (size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(1, __builtin_popcount(static_cast<uint8_t>(sent[i] ^ got[i]))) << i;
    }
    EXPECT_EQ(1000u, run.counts[0].flipped);
  }
  {  // every byte dropped in one direction: the line time passes all the same
    LineRun run;
    run.directions[0].dropRate = 1;
    run.ends.WriteInto(0, 0, Pattern(1152, 'a'));
    run.ends.WriteInto(0, 100 * kMs, "late");
    run.ends.WriteInto(1, 0, "back");
    run.Go();
    EXPECT_EQ("", run.ends.All(1));
    EXPECT_EQ(1156u, run.counts[0].dropped);
    EXPECT_EQ("back", run.ends.All(0));
  }
  {  // a stall holds one direction back; bytes already on the line arrive
    LineRun run;
    run.directions[0].stalls.push_back({100 * kMs, 200 * kMs});
    run.ends.WriteInto(0, 99 * kMs, "x");
    run.ends.WriteInto(0, 150 * kMs, "y");
    run.ends.WriteInto(1, 150 * kMs, "z");
    run.Go();
    ASSERT_EQ(2u, run.ends.received[1].size());
    EXPECT_LT(run.ends.received[1][0].at, 100 * kMs);
    EXPECT_GT(run.ends.received[1][1].at, 300 * kMs);
    EXPECT_LT(run.ends.LastAt(0), 151 * kMs) << "the other way is not held";
  }
}

// A program that reads nothing loses what its driver cannot hold, as a UART
// overruns, and the line goes on.
TEST(LineEmulator, AReaderThatTakesNothingLosesTheSurplus) {
  LineRun run;
  run.ends.takes[1] = 0;
  run.ends.WriteInto(0, 0, Pattern(10000, 'a'));
  run.Go();
  EXPECT_EQ(10000u - TLineEmulator::kMaxWaiting, run.counts[0].overrun);
  EXPECT_EQ(0u, run.counts[0].carried);
}

TEST(LineEmulatorOptions, ReadsRateFifoLatencyFaultsAndRefusesTheUnclear) {
  std::vector<std::string> arguments = {"--baud", "9600", "--fifo", "4", "--latency", "2.5", "--flip", "0.01",
                                        "--only", "b", "--stall", "a:100:50", "--duration", "3", "A", "B"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  TEmulatorOptions options;
  std::string error;
  ASSERT_TRUE(ParseEmulatorOptions(static_cast<int>(argv.size()), argv.data(), &options, &error)) << error;
  EXPECT_EQ("A", options.links[0]);
  EXPECT_EQ("B", options.links[1]);
  EXPECT_EQ(3 * kSecond, options.duration);
  for (const TDirectionSettings& settings : options.settings) {
    EXPECT_EQ(9600u, settings.baud);
    EXPECT_EQ(4u, settings.fifoDepth);
    EXPECT_EQ(2500000, settings.latency);
  }
  EXPECT_EQ(0.0, options.settings[0].flipRate) << "only the bytes written into b";
  EXPECT_EQ(0.01, options.settings[1].flipRate);
  ASSERT_EQ(1u, options.settings[0].stalls.size());
  EXPECT_EQ(100 * kMs, options.settings[0].stalls[0].from);
  EXPECT_EQ(50 * kMs, options.settings[0].stalls[0].length);
  EXPECT_TRUE(options.settings[1].stalls.empty());

  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {"A"}, {"--baud", "fast", "A", "B"}, {"--flip", "2", "A", "B"}, {"--stall", "c:1:1", "A", "B"},
           {"--only", "ab", "A", "B"}, {"--fifo", "0", "A", "B"}, {"--bogus", "A", "B"}, {"A", "B", "C"}}) {
    std::vector<char*> badArgv;
    for (std::string& argument : bad) badArgv.push_back(&argument[0]);
    TEmulatorOptions ignored;
    EXPECT_FALSE(ParseEmulatorOptions(static_cast<int>(badArgv.size()), badArgv.data(), &ignored, &error))
        << bad[0];
  }
}

}  // namespace
