#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <string>
#include "agent_state.h"
#include "relay_loop.h"
#include "service.h"

// On Linux the agent is a systemd service: "reg" writes its unit, "unreg"
// removes it, and systemd starts the program without arguments, which runs
// the relay in the foreground until SIGTERM.

namespace {

const char* const kUnitName = "tavo2agent.service";
const char* const kSystemUnitDir = "/etc/systemd/system";

// Set before the handlers are installed: a signal handler may not build the
// state (that reads files), it may only store to its lock-free flag.
TAgentState* g_signalledState = nullptr;

void OnStopSignal(int) {
  g_signalledState->RequestStop();
}

// SIGTERM (systemd, kill) and SIGINT (Ctrl+C) end the relay loop through the
// stop flag, so the program closes its port and ends as on any stop.
void StopOnSignals(TAgentState& state) {
  g_signalledState = &state;
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

// Tests and staged installs point this elsewhere so that the machine's own
// service configuration stays untouched.
std::string UnitDirectory() {
  const char* dir = getenv("TAVO_AGENT_UNIT_DIR");
  return dir && *dir ? dir : kSystemUnitDir;
}

bool IsSystemUnitDirectory(const std::string& dir) {
  return dir == kSystemUnitDir;
}

// The program's absolute path; errno is set when it cannot be used.
bool ReadProgramPath(std::string& path) {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length < 0) return false;
  if (static_cast<size_t>(length) >= sizeof buffer) {
    errno = ENAMETOOLONG;
    return false;
  }
  path.assign(buffer, static_cast<size_t>(length));
  // A line break in the path would end the ExecStart line early and let the
  // rest of the name be read as further settings of the unit.
  if (path.find_first_of("\r\n") != std::string::npos) {
    errno = EINVAL;
    return false;
  }
  return true;
}

// systemd expands '%' specifiers everywhere in a unit.
std::string EscapeSpecifiers(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '%') escaped += '%';
    escaped += c;
  }
  return escaped;
}

// ExecStart splits its value at blanks, reads backslash escapes and expands
// $ variables and % specifiers; a quoted, escaped path stays one word
// whatever it contains. Plain paths are written as they are.
std::string QuoteCommand(const std::string& path) {
  const bool plain = path.find_first_not_of(
                         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+") ==
                     std::string::npos;
  if (plain) return path;
  std::string quoted = "\"";
  for (char c : EscapeSpecifiers(path)) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c == '$') quoted += '$';
    quoted += c;
  }
  return quoted + '"';
}

std::string UnitText(const std::string& programPath) {
  const size_t slash = programPath.rfind('/');
  const std::string directory = slash == 0 ? "/" : programPath.substr(0, slash);
  return std::string("[Unit]\n") + "Description=" + kServiceDisplayName + "\n" +
         "After=network.target\n"
         "\n"
         "[Service]\n"
         "Type=simple\n"
         "ExecStart=" + QuoteCommand(programPath) + "\n" +
         "WorkingDirectory=" + EscapeSpecifiers(directory) + "\n" +
         "Restart=on-failure\n"
         "\n"
         "[Install]\n"
         "WantedBy=multi-user.target\n";
}

// Writes the whole text or sets errno.
bool WriteFile(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      close(fd);
      errno = error;
      return false;
    }
    written += static_cast<size_t>(n);
  }
  return close(fd) == 0;
}

// Runs systemctl with its output discarded, so that the agent's own messages
// stay the only text on the console. A machine without systemctl, or a
// failing call, changes nothing about the outcome: the unit file is what
// "reg" and "unreg" promise.
void RunSystemctl(const char* verb, const char* unit) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char program[] = "systemctl";
  std::string verbText(verb);
  std::string unitText(unit ? unit : "");
  char* arguments[] = {program, &verbText[0], unit ? &unitText[0] : nullptr, nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, program, &actions, nullptr, arguments, environ) == 0) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}

}  // namespace

void RegisterService(FILE* out) {
  std::string programPath;
  const std::string directory = UnitDirectory();
  if (!ReadProgramPath(programPath) ||
      !WriteFile(directory + "/" + kUnitName, UnitText(programPath))) {
    PrintRegisterFailed(out, errno);
    return;
  }
  if (IsSystemUnitDirectory(directory)) {
    RunSystemctl("daemon-reload", nullptr);
    RunSystemctl("enable", kUnitName);
  }
  PrintRegistered(out);
}

void UnregisterService(FILE* out) {
  const std::string directory = UnitDirectory();
  const bool system = IsSystemUnitDirectory(directory);
  // The links that "enable" made can only be found while the unit exists.
  if (system) RunSystemctl("disable", kUnitName);
  if (unlink((directory + "/" + kUnitName).c_str()) != 0) {
    PrintUnregisterFailed(out, errno);
    return;
  }
  if (system) RunSystemctl("daemon-reload", nullptr);
  PrintUnregistered(out);
}

void CatchConsoleStopRequests(TAgentState& state) {
  StopOnSignals(state);
}

void RunAsService() {
  TAgentState& state = GetAgentState();
  StopOnSignals(state);
  RunRelayLoop(state, false);
}
