#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>
#include "../platform/files_testutil.h"
#include "agent_trace_file.h"
#include "net/network.h"
#include "relay_link.h"
#include "relay_loop.h"
#include "system/keyboard.h"
#include "fake_timer.h"
#include "serial_testutil.h"

// The relay loop against a fake clock: Delay and the waits for the link only
// move the clock, so the 5-second cadence runs in no time, and each test
// scripts what happens when.

namespace {

struct Runaway {};

// Records when it was opened, polled and closed.
class FakeLink : public IDevice, public IRelayLink {
 public:
  explicit FakeLink(const uint32_t& now) : now_(now) {}
  TResult Open() override { return OpenLink(true); }
  TResult OpenLink(bool wait) override {
    openedWaiting.push_back(wait);
    opens.push_back(now_);
    if (!openSucceeds) return TResult(20025);
    session = sessionOnOpen;
    return TResult();
  }
  bool HasSession() override { return session; }
  void Poll() override {
    EXPECT_TRUE(session) << "polled without a session at " << now_;
    polls.push_back(now_);
  }
  void Close() override {
    session = false;
    closes.push_back(now_);
  }
  // A link with something to do (bytes on the line, a socket ready) ends
  // the loop's wait after wakeAfter milliseconds; 0: it has nothing.
  void Watch(IIoWait& wait) override {
    if (session && wakeAfter != 0) wait.Within(wakeAfter);
  }
  bool PortFailed(TResult* why) override {
    if (!session || !portFailed) return false;
    *why = TResult(20004, 21005);
    return true;
  }
  void SetTrace(IAgentTrace& given) override { trace = &given; }

  bool openSucceeds = true;
  bool portFailed = false;
  bool sessionOnOpen = true;
  bool session = false;
  uint32_t wakeAfter = 0;
  IAgentTrace* trace = nullptr;
  std::vector<bool> openedWaiting;
  std::vector<uint32_t> opens, polls, closes;

 private:
  const uint32_t& now_;
};

class FakeNetwork : public INetworkInterface {
 public:
  TResult Open() override {
    ++opens;
    return TResult();
  }
  void Close() override { ++closes; }
  int32_t GetState() override { return NETWORK_READY; }
  TResult GetLastResult() override { return TResult(); }
  TResult SetParameter(uint32_t) override { return TResult(RESULT_NOT_SUPPORTED); }
  TResult GetIpConfig(TIpConfig*) override { return TResult(RESULT_NOT_SUPPORTED); }
  TResult Connect(const TNetAddress&, IConnection**) override { return TResult(20001); }
  TResult Listen(uint16_t, IConnection**) override { return TResult(20008); }
  TResult Control(uint32_t) override { return TResult(RESULT_NOT_SUPPORTED); }
  TResult ResolveHost(const char*, IpAddress*) override { return TResult(RESULT_NOT_SUPPORTED); }

  int opens = 0;
  int closes = 0;
};

class FakeKeyboard : public IKeyboard {
 public:
  TResult Open() override { return TResult(); }
  void Close() override {}
  char GetKey() override { return PollKey(); }
  void PutKey(char key) override { pending = key; }
  void ClearKey() override { pending = 0; }
  char PollKey() override {
    ++reads;
    const char key = pending;
    pending = 0;
    return key;
  }
  char pending = 0;
  int reads = 0;
};

// The time a wait lasts: its limit, or less when something watched is ready.
class FakeWait : public IIoWait {
 public:
  explicit FakeWait(uint32_t limit) : lasts(limit) {}
  void WatchSocket(TSocket, bool, bool, bool) override {}
  void WatchObject(TWaitObject) override {}
  void Within(uint32_t milliseconds) override { lasts = std::min(lasts, milliseconds); }
  uint32_t lasts;
};

class FakeWorld : public IRelayEnvironment {
 public:
  FakeWorld() {
    devices[DEVICE_USB_LINK * 0x10000 + kPort] = &link;
    devices[DEVICE_ETHERNET * 0x10000] = &network;
    devices[DEVICE_KEYBOARD * 0x10000] = &keyboard;
  }

  TAgentSettings ReadSettings() override {
    ++enabledReads;
    TAgentSettings settings;
    settings.enabled = enabled;
    settings.traceLevel = traceLevel;
    trace.SetLevel(traceLevel);
    return settings;
  }
  IAgentTrace& GetTrace() override { return trace; }
  IDevice* GetDevice(uint32_t type, uint32_t index) override {
    requestedTypes.push_back(type);
    auto found = devices.find(type * 0x10000 + index);
    return found == devices.end() ? nullptr : found->second;
  }
  ITimer* CreateTimer(uint32_t milliseconds) override { return new FakeTimer(now, milliseconds); }
  void Delay(uint32_t milliseconds) override {
    delays.push_back(milliseconds);
    Pass(milliseconds);
  }
  void WaitForLink(IRelayLink& waitingFor, uint32_t milliseconds) override {
    EXPECT_EQ(&waitingFor, &link);
    FakeWait wait(milliseconds);
    waitingFor.Watch(wait);
    waits.push_back(wait.lasts);
    // The fake clock counts whole milliseconds: a wait cut to nothing still
    // takes one, or a link always ready would stop the clock.
    Pass(std::max(wait.lasts, 1u));
  }
  void Pass(uint32_t milliseconds) {
    now += milliseconds;
    if (whenTimePasses) whenTimePasses(now);
    // A loop that never ends would hang the test run; ten fake minutes is
    // far more than any test here needs.
    if (now > 600000) throw Runaway();
  }

  // Runs the loop as the agent's console (or its service) would.
  void Run(TAgentState& state, bool console) {
    EXPECT_NO_THROW(RunRelayLoop(state, console, *this)) << "the loop did not end";
  }

  static constexpr uint16_t kPort = 7;
  uint32_t now = 0;
  bool enabled = true;
  int traceLevel = 0;
  TFilesTempDir traceFolder;
  TAgentTraceFile trace{&traceFolder.Files(), nullptr};
  FakeLink link{now};
  FakeNetwork network;
  FakeKeyboard keyboard;
  std::map<uint32_t, IDevice*> devices;
  std::vector<uint32_t> delays;
  std::vector<uint32_t> waits;
  int enabledReads = 0;
  std::vector<uint32_t> requestedTypes;
  std::function<void(uint32_t)> whenTimePasses;
};

TEST(RelayLoop, ReturnsAtOnceWithoutPortLinkOrPcNetwork) {
  {
    FakeWorld world;
    TAgentState state(0);
    world.Run(state, true);
    EXPECT_TRUE(world.requestedTypes.empty()) << "no port: no device is even made";
    EXPECT_TRUE(world.delays.empty());
    EXPECT_TRUE(world.waits.empty());
  }
  for (uint32_t missing : {DEVICE_ETHERNET * 0x10000, DEVICE_USB_LINK * 0x10000 + FakeWorld::kPort}) {
    FakeWorld world;
    world.devices.erase(missing);
    TAgentState state(FakeWorld::kPort);
    world.Run(state, true);
    EXPECT_TRUE(world.link.opens.empty());
    EXPECT_TRUE(world.delays.empty()) << "missing device " << missing;
    EXPECT_TRUE(world.waits.empty()) << "missing device " << missing;
    EXPECT_EQ(0, world.network.opens);
  }
}

TEST(RelayLoop, FailedOpenIsRetriedEveryFiveSecondsUntilStopped) {
  FakeWorld world;
  world.link.openSucceeds = false;
  TAgentState state(FakeWorld::kPort);
  world.whenTimePasses = [&](uint32_t now) {
    if (now == 17000) state.RequestStop();
  };
  world.Run(state, false);
  EXPECT_EQ((std::vector<uint32_t>{0, 5000, 10000, 15000}), world.link.opens);
  EXPECT_EQ(17000u, world.now) << "a stop cuts the pause short";
  EXPECT_EQ((std::vector<bool>{false, false, false, false}), world.link.openedWaiting)
      << "the loop must not wait for the PIN pad to answer";
  EXPECT_EQ(0, world.network.opens) << "nothing to relay while the port is not open";
  EXPECT_TRUE(world.link.closes.empty());
}

TEST(RelayLoop, DisablingClosesThePortAndEnablingReopensItAfterThePause) {
  FakeWorld world;
  TAgentState state(FakeWorld::kPort);
  const uint32_t disabledAt = 12000, enabledAt = 30000, stoppedAt = 40000;
  world.whenTimePasses = [&](uint32_t now) {
    if (now == disabledAt) world.enabled = false;
    if (now == enabledAt) world.enabled = true;
    if (now == stoppedAt) state.RequestStop();
  };
  world.Run(state, false);

  ASSERT_EQ(2u, world.link.opens.size());
  ASSERT_EQ(2u, world.link.closes.size());
  const uint32_t closedAt = world.link.closes[0];
  EXPECT_GT(closedAt, disabledAt);
  EXPECT_LE(closedAt, disabledAt + 5000 + 20) << "the switch is read every 5 seconds";
  const uint32_t reopenedAt = world.link.opens[1];
  EXPECT_GE(reopenedAt, enabledAt);
  EXPECT_GE(reopenedAt, closedAt + 5000) << "at least 5 seconds between close and open";
  EXPECT_LE(reopenedAt, enabledAt + 5000);
  for (uint32_t poll : world.link.polls) {
    EXPECT_FALSE(poll >= closedAt && poll < reopenedAt) << "polled a closed port at " << poll;
  }
  EXPECT_EQ(stoppedAt, world.link.closes[1]);
  EXPECT_EQ(2, world.network.opens);
  EXPECT_EQ(2, world.network.closes) << "the PC side is closed with the port";
}

// The trace follows "Trace" in agent.ini as the loop reads it, every 5
// seconds: it tells when the switch changes and why the port closes; with
// Trace=0 there is no file at all.
TEST(RelayLoop, TraceFollowsAgentIniAndTellsWhyThePortCloses) {
  FakeWorld world;
  TAgentState state(FakeWorld::kPort);
  world.whenTimePasses = [&](uint32_t now) {
    if (now == 3000) world.traceLevel = 1;
    if (now == 12000) world.enabled = false;
    if (now == 22000) world.enabled = true;
    if (now == 40000) state.RequestStop();
  };
  world.Run(state, false);
  EXPECT_EQ(&NullAgentTrace(), world.link.trace) << "the loop's trace goes with the loop";
  const std::string text = world.traceFolder.Read("agent-trace.txt");
  EXPECT_TRUE(FoundInOrder(text, {"trace on, level 1", "agent.ini: Enabled=1, the agent relays",
                                   "agent.ini: Enabled=0, the agent does not relay",
                                   "closing COM7: the agent was disabled in agent.ini",
                                   "agent.ini: Enabled=1, the agent relays", "closing COM7: stop requested",
                                   "agent stops"}));
  EXPECT_EQ(2u, world.link.opens.size());

  FakeWorld untraced;
  TAgentState other(FakeWorld::kPort);
  untraced.whenTimePasses = [&](uint32_t now) {
    if (now == 12000) untraced.enabled = false;
    if (now == 30000) other.RequestStop();
  };
  untraced.Run(other, false);
  EXPECT_EQ(1u, untraced.link.closes.size());
  EXPECT_TRUE(untraced.traceFolder.List().empty());
}

// An adapter pulled out while relaying: the port is closed at the next turn
// and tried every 5 seconds, as any port that cannot be opened, until the
// adapter is back.
TEST(RelayLoop, APortWhoseDeviceFailsIsClosedAndReopenedEveryFiveSeconds) {
  FakeWorld world;
  world.traceLevel = 1;
  TAgentState state(FakeWorld::kPort);
  world.whenTimePasses = [&](uint32_t now) {
    if (now == 7000) {
      world.link.portFailed = true;
      world.link.openSucceeds = false;
    }
    if (now == 16000) {
      world.link.portFailed = false;
      world.link.openSucceeds = true;
    }
    if (now == 30000) state.RequestStop();
  };
  world.Run(state, false);
  EXPECT_EQ((std::vector<uint32_t>{0, 12000, 17000}), world.link.opens);
  ASSERT_EQ(2u, world.link.closes.size());
  EXPECT_LE(world.link.closes[0], 7000u + 20) << "closed within a turn of the failure";
  EXPECT_EQ(2, world.network.closes);
  EXPECT_TRUE(FoundInOrder(world.traceFolder.Read("agent-trace.txt"),
                           {"closing COM7: its device failed (result 20004 21005), hung up or removed; opened again every 5 s",
                            "closing COM7: stop requested"}));
}

TEST(RelayLoop, StopEndsRelayingWithinOneTurnAndReturnsWithoutAPause) {
  FakeWorld world;
  TAgentState state(FakeWorld::kPort);
  world.whenTimePasses = [&](uint32_t now) {
    if (now == 1000) state.RequestStop();
  };
  world.Run(state, false);
  EXPECT_EQ((std::vector<uint32_t>{1000}), world.link.closes);
  EXPECT_EQ(1u, world.link.opens.size());
  EXPECT_EQ(1000u, world.now) << "no pause after a close for a stop";
  EXPECT_EQ(50u, world.link.polls.size()) << "one poll per 20 ms turn";
}

TEST(RelayLoop, ConsoleKeyStopsTheLoopButAServiceNeverReadsTheKeyboard) {
  {  // a key while relaying: close, pause, end, without reopening
    FakeWorld world;
    TAgentState state(FakeWorld::kPort);
    world.whenTimePasses = [&](uint32_t now) {
      if (now == 2000) world.keyboard.pending = 'q';
    };
    world.Run(state, true);
    EXPECT_EQ((std::vector<uint32_t>{2000}), world.link.closes);
    EXPECT_EQ(1u, world.link.opens.size());
    EXPECT_TRUE(state.IsStopRequested());
  }
  {  // a key during the pause after a disable: no reopen, even when enabled again
    FakeWorld world;
    TAgentState state(FakeWorld::kPort);
    world.whenTimePasses = [&](uint32_t now) {
      if (now == 2000) world.enabled = false;
      if (now == 10000) {
        world.enabled = true;
        world.keyboard.pending = ' ';
      }
    };
    world.Run(state, true);
    EXPECT_EQ((std::vector<uint32_t>{5000}), world.link.closes);
    EXPECT_EQ(1u, world.link.opens.size());
    EXPECT_EQ(10000u, world.now);
    EXPECT_TRUE(state.IsStopRequested());
  }
  {  // a service ignores the key and keeps relaying until stopped
    FakeWorld world;
    TAgentState state(FakeWorld::kPort);
    world.keyboard.pending = 'q';
    world.whenTimePasses = [&](uint32_t now) {
      if (now == 8000) state.RequestStop();
    };
    world.Run(state, false);
    EXPECT_EQ((std::vector<uint32_t>{8000}), world.link.closes);
    for (uint32_t type : world.requestedTypes) EXPECT_NE(uint32_t{DEVICE_KEYBOARD}, type);
  }
}

TEST(RelayLoop, PollsOnlyWhileTheLinkHasASession) {
  FakeWorld world;
  world.link.sessionOnOpen = false;  // opened, but the PIN pad has not answered yet
  TAgentState state(FakeWorld::kPort);
  world.whenTimePasses = [&](uint32_t now) {
    if (now == 1000) world.link.session = true;
    if (now == 2000) world.link.session = false;
    if (now == 3000) state.RequestStop();
  };
  world.Run(state, false);
  ASSERT_FALSE(world.link.polls.empty());
  EXPECT_EQ(1000u, world.link.polls.front());
  EXPECT_EQ(1980u, world.link.polls.back());
  EXPECT_EQ(1u, world.link.opens.size()) << "a lost session is not a reason to reopen";
}

// The loop turns as soon as the link has something to do instead of
// sleeping out a fixed 20 ms, and at the latest after 20 ms when it has
// nothing; however fast it turns, the switch is still read every 5 seconds,
// the console every 20 ms, and a stop still ends it at once.
TEST(RelayLoop, TurnsWhenTheLinkHasWorkAndAtLeastEvery20Ms) {
  FakeWorld world;
  TAgentState state(FakeWorld::kPort);
  world.link.wakeAfter = 2;
  world.whenTimePasses = [&](uint32_t now) {
    if (now == 10000) world.link.wakeAfter = 0;  // the PIN pad falls silent
    if (now >= 12000) state.RequestStop();
  };
  world.Run(state, true);

  ASSERT_FALSE(world.waits.empty());
  for (uint32_t wait : world.waits) EXPECT_LE(wait, 20u);
  size_t busyPolls = 0;
  for (uint32_t poll : world.link.polls) busyPolls += poll < 10000 ? 1 : 0;
  EXPECT_EQ(5000u, busyPolls) << "one poll for every 2 ms the link had work";
  EXPECT_EQ(100u, world.link.polls.size() - busyPolls) << "one poll per 20 ms when it had none";
  EXPECT_EQ(1 + 2, world.enabledReads) << "once to open, then every 5 seconds";
  EXPECT_NEAR(12000 / 20, world.keyboard.reads, 1) << "every 20 ms, not on every wake";
  EXPECT_EQ((std::vector<uint32_t>{12000}), world.link.closes);
}

}  // namespace
