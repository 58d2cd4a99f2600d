#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>
#include "agent_process.h"

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline(int waitMs = kGenerousWaitMs) {
  return Clock::now() + std::chrono::milliseconds(waitMs);
}

// Appends what fd has within waitMs; false once the writer is gone.
bool ReadSome(int fd, std::string& text, int waitMs) {
  pollfd ready = {fd, POLLIN, 0};
  if (poll(&ready, 1, waitMs) <= 0) return true;
  char buffer[512];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0) {
    text.append(buffer, static_cast<size_t>(n));
    return true;
  }
  // A pseudo-terminal answers EIO once the program has closed its side.
  return n < 0 && errno == EINTR;
}

[[noreturn]] void ExecAgent(const TAgentFolder& folder, const char* argument) {
  const std::string program = folder.ProgramPath();
  if (chdir(folder.Path().c_str()) == 0) {
    execl(program.c_str(), program.c_str(), argument, static_cast<char*>(nullptr));
  }
  _exit(127);
}

int DecodeStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

std::string TestProgramDirectory() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string program(path, n > 0 ? static_cast<size_t>(n) : 0);
  return program.substr(0, program.rfind('/'));
}

const char* AgentProgramName() {
  return "agent";
}

std::string ConsoleText(const std::string& text) {
  return text;
}

TAgentOutput RunAgentProgram(const TAgentFolder& folder, const char* argument) {
  TAgentOutput output;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return output;
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    const int nothing = open("/dev/null", O_RDONLY);
    dup2(nothing, STDIN_FILENO);
    ExecAgent(folder, argument);
  }
  close(out[1]);
  const auto deadline = Deadline();
  while (Clock::now() < deadline && ReadSome(out[0], output.text, 100)) {
  }
  close(out[0]);
  int status = 0;
  while (Clock::now() < deadline) {
    if (waitpid(child, &status, WNOHANG) == child) {
      output.ended = true;
      output.exitCode = DecodeStatus(status);
      return output;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return output;
}

struct TAgentProcess::Native {
  pid_t pid = -1;
  int terminal = -1;
  std::string output;
  bool ended = false;
  int exitCode = -1;

  void Reap(int options) {
    int status = 0;
    if (!ended && waitpid(pid, &status, options) == pid) {
      ended = true;
      exitCode = DecodeStatus(status);
    }
  }
};

TAgentProcess::TAgentProcess(const TAgentFolder& folder, const char* argument)
    : native_(new Native) {
  // A terminal that starts as a user's would, in line mode with echo, but
  // does not rewrite line ends, so the output is compared byte for byte. A
  // test types keys only while the program has taken them (unseen).
  termios settings = {};
  settings.c_iflag = ICRNL;
  settings.c_cflag = CS8 | CREAD;
  settings.c_lflag = ICANON | ISIG | ECHO;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VINTR] = 3;
  settings.c_cc[VEOF] = 4;
  cfsetispeed(&settings, B38400);
  cfsetospeed(&settings, B38400);
  native_->pid = forkpty(&native_->terminal, nullptr, &settings, nullptr);
  if (native_->pid == 0) ExecAgent(folder, argument);
}

TAgentProcess::~TAgentProcess() {
  if (native_->pid > 0 && !native_->ended) {
    kill(native_->pid, SIGKILL);
    native_->Reap(0);
  }
  if (native_->terminal >= 0) close(native_->terminal);
}

bool TAgentProcess::WaitForOutput(const std::string& expected) {
  const auto deadline = Deadline();
  while (native_->output.find(expected) == std::string::npos && Clock::now() < deadline) {
    if (!ReadSome(native_->terminal, native_->output, 50)) break;
  }
  return native_->output.find(expected) != std::string::npos;
}

const std::string& TAgentProcess::Output() const {
  return native_->output;
}

bool TAgentProcess::IsRunning() {
  native_->Reap(WNOHANG);
  return native_->pid > 0 && !native_->ended;
}

void TAgentProcess::Type(const std::string& text) {
  if (write(native_->terminal, text.data(), text.size()) < 0) {
    // The program has gone; waiting for its end says so.
  }
}

bool TAgentProcess::WaitForExit(const std::string& key, int waitMs) {
  const auto deadline = Deadline(waitMs);
  auto nextKey = Clock::now();
  while (IsRunning() && Clock::now() < deadline) {
    if (!key.empty() && Clock::now() >= nextKey) {
      Type(key);
      nextKey = Clock::now() + std::chrono::milliseconds(500);
    }
    ReadSome(native_->terminal, native_->output, 20);
  }
  return native_->ended;
}

int TAgentProcess::ExitCode() const {
  return native_->exitCode;
}

long TAgentProcess::Id() const {
  return native_->pid;
}
