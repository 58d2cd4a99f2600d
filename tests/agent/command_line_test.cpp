#include <gtest/gtest.h>
#include <chrono>
#include <string>
#include <thread>
#include "agent_messages.h"
#include "agent_process.h"

// The real program, started the way a user starts it, in a folder of its own
// with the configuration each case needs.

namespace {

void ExpectPrints(const TAgentFolder& folder, const char* argument, const std::string& text) {
  const TAgentOutput output = RunAgentProgram(folder, argument);
  ASSERT_TRUE(output.ended) << "still running with argument " << argument;
  EXPECT_EQ(ConsoleText(text), output.text) << "argument " << argument;
  EXPECT_EQ(0, output.exitCode) << "argument " << argument;
}

TEST(AgentCommandLine, AnythingButACommandPrintsTheUsage) {
  TAgentFolder folder;
  for (const char* argument : {"x", "/register", "//run", "-", "runx"}) {
    ExpectPrints(folder, argument, kUsageText);
  }
}

TEST(AgentCommandLine, RunIsKnownWithOneLeadingMarkInAnyCase) {
  TAgentFolder folder;  // no pinpad.ini: the console run stops at its first check
  for (const char* argument : {"run", "/RUN", "-run", "\\Run"}) {
    ExpectPrints(folder, argument, kNoPortText);
  }
}

TEST(AgentConsoleRun, PortMustBeAPlainNumberBeforeAnySection) {
  TAgentFolder folder;
  folder.WriteFile("agent.ini", "Enabled=1\n");
  ExpectPrints(folder, "run", kNoPortText);  // no pinpad.ini at all
  for (const char* pinpad : {"[Main]\nComPort=7\n", "ComPort=3x\n", "ComPort = 3\n",
                             "comport=3\n", "ComPort=\n", "ComPort=0\n"}) {
    folder.WriteFile("pinpad.ini", pinpad);
    SCOPED_TRACE(pinpad);
    ExpectPrints(folder, "run", kNoPortText);
  }
}

TEST(AgentConsoleRun, AgentMustBeEnabled) {
  TAgentFolder folder;
  folder.WriteFile("pinpad.ini", "ComPort=7\n");
  ExpectPrints(folder, "run", kNotEnabledText);  // no agent.ini at all
  for (const char* agent : {"Enabled=0\n", "[Main]\nEnabled=1\n", "Other=1\n"}) {
    folder.WriteFile("agent.ini", agent);
    SCOPED_TRACE(agent);
    ExpectPrints(folder, "run", kNotEnabledText);
  }
}

// With Trace=1 the agent also writes beside itself why it cannot relay.
TEST(AgentConsoleRun, EnabledAgentRelaysOnTheConfiguredPortUntilStopped) {
  struct Case {
    const char* pinpad;
    int port;
    const char* agentIni;
  };
  // A value followed by blanks is still the number; ':' and a blank after
  // the separator are allowed; CR LF files come from Windows editors. No
  // test links these ports (the serial line tests, run beside this one, use
  // COM12 to COM16).
  for (const Case& c : {Case{"ComPort=7\n", 7, "Enabled=1\n"}, Case{"ComPort=3 \n", 3, "Enabled=1\n"},
                        Case{"ComPort: 21\r\n", 21, "Enabled=1\r\nTrace=1\r\n"}}) {
    SCOPED_TRACE(c.pinpad);
    TAgentFolder folder;
    folder.WriteFile("agent.ini", c.agentIni);
    folder.WriteFile("pinpad.ini", c.pinpad);
    TAgentProcess agent(folder, "run");
    ASSERT_TRUE(agent.WaitForOutput(ConsoleText(RunningText(c.port)))) << agent.Output();
    EXPECT_EQ(ConsoleText(RunningText(c.port)), agent.Output());
    EXPECT_TRUE(agent.IsRunning()) << "the relay goes on although the port does not exist";
    if (c.port != 21) continue;
    const std::string expected = "COM21 cannot be opened (result 20001 21";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGenerousWaitMs);
    while (folder.ReadFile("agent-trace.txt").find(expected) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_NE(std::string::npos, folder.ReadFile("agent-trace.txt").find(expected)) << folder.ReadFile("agent-trace.txt");
  }
}

TEST(AgentServiceMode, WithoutAPortEndsAtOnceWithoutAWord) {
  TAgentFolder folder;
  folder.WriteFile("agent.ini", "Enabled=1\n");
  ExpectPrints(folder, nullptr, "");
}

}  // namespace
