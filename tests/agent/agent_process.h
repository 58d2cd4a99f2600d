#pragma once
#include <memory>
#include <string>

// Helpers that run the real agent program of this build. Each test gets a
// private folder with a copy of the program, because the agent reads its
// configuration from its own directory.

// Waiting loops give up after this long; the agent itself answers in well
// under a second, but Wine can be slow to start a process.
constexpr int kGenerousWaitMs = 60000;

// The folder of the running test program; the agent is built beside it.
std::string TestProgramDirectory();
// "agent.exe" or "agent".
const char* AgentProgramName();
// What a program of this build prints for text: its console is in text mode
// on Windows, where "\n" arrives as "\r\n".
std::string ConsoleText(const std::string& text);

class TAgentFolder {
 public:
  // A new folder in the temporary directory whose name starts with prefix.
  explicit TAgentFolder(const std::string& prefix = "agent-test");
  ~TAgentFolder();
  TAgentFolder(const TAgentFolder&) = delete;
  TAgentFolder& operator=(const TAgentFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string ProgramPath() const;
  void WriteFile(const std::string& name, const std::string& content) const;
  bool Exists(const std::string& name) const;
  std::string ReadFile(const std::string& name) const;

 private:
  std::string path_;
};

struct TAgentOutput {
  std::string text;
  int exitCode = -1;
  bool ended = false;  // false when it was still running at the deadline
};

// Runs the program of folder with one argument (none when null) to its end.
TAgentOutput RunAgentProgram(const TAgentFolder& folder, const char* argument);

// The program running in a console of its own (a pseudo-terminal on Linux),
// ended when this object goes if it has not ended before.
class TAgentProcess {
 public:
  TAgentProcess(const TAgentFolder& folder, const char* argument);
  ~TAgentProcess();
  TAgentProcess(const TAgentProcess&) = delete;
  TAgentProcess& operator=(const TAgentProcess&) = delete;

  // Reads its output until it holds expected, the program ends, or the
  // deadline; true when expected was seen.
  bool WaitForOutput(const std::string& expected);
  const std::string& Output() const;
  bool IsRunning();
  // Types text on the program's console.
  void Type(const std::string& text);
  // Waits up to waitMs for the end. A key that is not empty is typed again
  // every so often while waiting, so that one is there whenever the program
  // looks.
  bool WaitForExit(const std::string& key = "", int waitMs = kGenerousWaitMs);
  int ExitCode() const;
  long Id() const;

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};
