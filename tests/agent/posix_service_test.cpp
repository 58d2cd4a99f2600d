#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include "agent_messages.h"
#include "agent_process.h"

// Service mode on Linux: the program without arguments relays in the
// foreground until systemd (or anyone) sends SIGTERM; "reg" and "unreg" write
// and remove its systemd unit.

namespace {

// True once the process catches sig, read from the kernel's view of it, so a
// signal is never sent before the program is ready for it.
bool CatchesSignal(long pid, int sig) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) == 0) {
      const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
      return (caught >> (sig - 1)) & 1;
    }
  }
  return false;
}

bool WaitUntilCatches(TAgentProcess& agent, int sig) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousWaitMs);
  while (!CatchesSignal(agent.Id(), sig)) {
    if (!agent.IsRunning() || std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

TEST(AgentLinuxService, TermAndIntEndTheServiceCleanly) {
  struct Case {
    int sig;
    const char* agentIni;  // a disabled agent idles, and must stop all the same
  };
  for (const Case& c : {Case{SIGTERM, "Enabled=1\n"}, Case{SIGINT, "Enabled=0\n"}}) {
    SCOPED_TRACE(c.sig);
    TAgentFolder folder;
    folder.WriteFile("agent.ini", c.agentIni);
    folder.WriteFile("pinpad.ini", "ComPort=7\n");
    TAgentProcess agent(folder, nullptr);
    ASSERT_TRUE(WaitUntilCatches(agent, SIGTERM) && WaitUntilCatches(agent, SIGINT));
    ASSERT_TRUE(agent.IsRunning());
    kill(static_cast<pid_t>(agent.Id()), c.sig);
    ASSERT_TRUE(agent.WaitForExit());
    EXPECT_EQ(0, agent.ExitCode());
    EXPECT_EQ("", agent.Output());
  }
}

tcflag_t LocalFlags(int terminal) {
  termios settings{};
  tcgetattr(terminal, &settings);
  return settings.c_lflag;
}

// While the console run relays it takes the keys one by one and unseen.
// However it ends (a key, Ctrl+C, SIGTERM), it ends cleanly and gives the
// terminal back with line editing and echo, as it found it.
TEST(AgentLinuxConsole, KeyOrSignalEndsTheRunAndGivesTheTerminalBack) {
  for (int sig : {0, SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    TAgentFolder folder;
    folder.WriteFile("agent.ini", "Enabled=1\n");
    folder.WriteFile("pinpad.ini", "ComPort=7\n");
    TAgentProcess agent(folder, "run");
    ASSERT_TRUE(agent.WaitForOutput(RunningText(7))) << agent.Output();
    // The program's terminal, through a descriptor that outlives the program.
    const int terminal = open(("/proc/" + std::to_string(agent.Id()) + "/fd/0").c_str(), O_RDONLY | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousWaitMs);
    while ((LocalFlags(terminal) & (ICANON | ECHO)) != 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(0u, LocalFlags(terminal) & (ICANON | ECHO)) << "the keys are not taken";
    if (sig == 0) {
      agent.Type("q");
    } else {
      kill(static_cast<pid_t>(agent.Id()), sig);
    }
    ASSERT_TRUE(agent.WaitForExit());
    EXPECT_EQ(0, agent.ExitCode());
    EXPECT_EQ(RunningText(7), agent.Output());
    EXPECT_EQ(static_cast<tcflag_t>(ICANON | ECHO), LocalFlags(terminal) & (ICANON | ECHO));
    close(terminal);
  }
}

// Every registration test writes into a folder of its own: the machine's
// service configuration must never be touched by a test.
class AgentLinuxUnit : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, setenv("TAVO_AGENT_UNIT_DIR", units_.Path().c_str(), 1));
    ASSERT_EQ(units_.Path(), getenv("TAVO_AGENT_UNIT_DIR"));
  }
  void TearDown() override { unsetenv("TAVO_AGENT_UNIT_DIR"); }

  std::string Unit() const { return units_.ReadFile("tavo2agent.service"); }
  bool UnitExists() const { return units_.Exists("tavo2agent.service"); }

  TAgentFolder units_{"agent-units"};
};

// The value of key in a unit text, "" when absent.
std::string UnitValue(const std::string& unit, const std::string& key) {
  std::istringstream lines(unit);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return "";
}

TEST_F(AgentLinuxUnit, RegisterWritesTheUnitAndTwiceIsFine) {
  TAgentFolder folder;
  for (int time = 0; time < 2; ++time) {
    const TAgentOutput output = RunAgentProgram(folder, "reg");
    EXPECT_EQ(kRegisteredText, output.text);
    EXPECT_EQ(0, output.exitCode);
  }
  ASSERT_TRUE(UnitExists());
  const std::string unit = Unit();
  EXPECT_EQ(folder.ProgramPath(), UnitValue(unit, "ExecStart")) << "started without arguments";
  EXPECT_EQ(folder.Path(), UnitValue(unit, "WorkingDirectory"));
  EXPECT_EQ("on-failure", UnitValue(unit, "Restart"));
  EXPECT_EQ("multi-user.target", UnitValue(unit, "WantedBy"));
  EXPECT_NE(std::string::npos, unit.find("\n[Service]\n"));
  EXPECT_NE(std::string::npos, unit.find("\n[Install]\n"));
}

TEST_F(AgentLinuxUnit, ProgramPathCannotBreakTheUnit) {
  {
    TAgentFolder folder("agent test 100%");
    ASSERT_EQ(kRegisteredText, RunAgentProgram(folder, "reg").text);
    std::string escaped;  // systemd reads %% as one %
    for (char c : folder.Path()) escaped += c == '%' ? std::string("%%") : std::string(1, c);
    EXPECT_EQ("\"" + escaped + "/agent\"", UnitValue(Unit(), "ExecStart"));
    EXPECT_EQ(escaped, UnitValue(Unit(), "WorkingDirectory"));
  }
  {  // a line break would smuggle settings into the unit: refused
    TAgentFolder folder("agent\nUser=root");
    ASSERT_EQ(kUnregisteredText, RunAgentProgram(folder, "unreg").text);
    EXPECT_EQ(UnableToRegisterText(EINVAL), RunAgentProgram(folder, "reg").text);
    EXPECT_FALSE(UnitExists());
  }
}

TEST_F(AgentLinuxUnit, UnregisterRemovesTheUnitOnceAndReportsErrors) {
  TAgentFolder folder;
  ASSERT_EQ(kRegisteredText, RunAgentProgram(folder, "reg").text);
  EXPECT_EQ(kUnregisteredText, RunAgentProgram(folder, "/unreg").text);
  EXPECT_FALSE(UnitExists());
  const TAgentOutput again = RunAgentProgram(folder, "unreg");
  EXPECT_EQ(UnableToUnregisterText(ENOENT), again.text);
  EXPECT_EQ(0, again.exitCode);

  ASSERT_EQ(0, setenv("TAVO_AGENT_UNIT_DIR", (units_.Path() + "/missing").c_str(), 1));
  const TAgentOutput missingFolder = RunAgentProgram(folder, "reg");
  EXPECT_EQ(UnableToRegisterText(ENOENT), missingFolder.text);
  EXPECT_EQ(0, missingFolder.exitCode);
}

}  // namespace
