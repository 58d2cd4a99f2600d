#include "posix_pseudo_terminal_ends.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {

volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

// The stop signals are held back except while waiting, so that one never
// falls between the check and the wait.
sigset_t HoldStopSignals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigset_t stops;
  sigemptyset(&stops);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(signal, &action, nullptr);
    sigaddset(&stops, signal);
  }
  sigset_t previous;
  sigprocmask(SIG_BLOCK, &stops, &previous);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigdelset(&previous, signal);
  return previous;
}

TNanoseconds MonotonicNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<TNanoseconds>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// A new pseudo-terminal: its controlling side and its terminal, raw.
bool OpenPair(int* controlling, int* terminal, std::string* device, std::string* error) {
  *controlling = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  char name[PATH_MAX];
  if (*controlling < 0 || grantpt(*controlling) != 0 || unlockpt(*controlling) != 0 ||
      ptsname_r(*controlling, name, sizeof name) != 0) {
    *error = std::string("no pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  *terminal = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios line;
  if (*terminal < 0 || tcgetattr(*terminal, &line) != 0) {
    *error = std::string("cannot open ") + name + ": " + std::strerror(errno);
    return false;
  }
  cfmakeraw(&line);
  tcsetattr(*terminal, TCSANOW, &line);
  *device = name;
  return true;
}

// The link is made beside its place and moved there, so that whoever waits
// for it never sees it half made, and an old link of the name is replaced.
bool PlaceLink(const std::string& device, const std::string& link, std::string* error) {
  const std::string fresh = link + ".new" + std::to_string(getpid());
  unlink(fresh.c_str());
  if (symlink(device.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), link.c_str()) != 0) {
    *error = "cannot make the link " + link + ": " + std::strerror(errno);
    unlink(fresh.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<TPseudoTerminalEnds> TPseudoTerminalEnds::Open(const std::string links[2], std::string* error) {
  std::unique_ptr<TPseudoTerminalEnds> ends(new TPseudoTerminalEnds);
  for (int end = 0; end < 2; ++end) {
    if (!OpenPair(&ends->controlling_[end], &ends->terminal_[end], &ends->devices_[end], error)) return nullptr;
  }
  for (int end = 0; end < 2; ++end) {
    if (!PlaceLink(ends->devices_[end], links[end], error)) return nullptr;
    ends->links_[end] = links[end];
  }
  // Deliveries are timed to a fraction of a character; the default timer
  // slack of 50 microseconds is half of one at 115200 baud.
  prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);
  ends->waitingMask_ = HoldStopSignals();
  ends->start_ = MonotonicNow();
  return ends;
}

TPseudoTerminalEnds::~TPseudoTerminalEnds() {
  for (int end = 0; end < 2; ++end) {
    // Only a link that still names this end is this emulator's to remove.
    char target[PATH_MAX];
    const ssize_t length = links_[end].empty() ? -1 : readlink(links_[end].c_str(), target, sizeof target - 1);
    if (length > 0 && devices_[end] == std::string(target, static_cast<size_t>(length))) {
      unlink(links_[end].c_str());
    }
    if (terminal_[end] >= 0) close(terminal_[end]);
    if (controlling_[end] >= 0) close(controlling_[end]);
  }
}

TNanoseconds TPseudoTerminalEnds::Now() { return MonotonicNow() - start_; }

bool TPseudoTerminalEnds::Wait(const bool readable[2], const bool writable[2], TNanoseconds until) {
  if (stopRequested) return false;
  pollfd ends[2];
  for (int end = 0; end < 2; ++end) {
    ends[end] = {controlling_[end],
                 static_cast<short>((readable[end] ? POLLIN : 0) | (writable[end] ? POLLOUT : 0)), 0};
  }
  timespec timeout{};
  timespec* limit = nullptr;
  if (until != kNever) {
    const TNanoseconds left = std::max<TNanoseconds>(0, until - Now());
    timeout.tv_sec = static_cast<time_t>(left / 1'000'000'000);
    timeout.tv_nsec = static_cast<long>(left % 1'000'000'000);
    limit = &timeout;
  }
  ppoll(ends, 2, limit, &waitingMask_);
  return !stopRequested;
}

size_t TPseudoTerminalEnds::Read(int end, uint8_t* buffer, size_t size) {
  const ssize_t count = read(controlling_[end], buffer, size);
  return count > 0 ? static_cast<size_t>(count) : 0;
}

size_t TPseudoTerminalEnds::Write(int end, const uint8_t* bytes, size_t size) {
  const ssize_t count = write(controlling_[end], bytes, size);
  return count > 0 ? static_cast<size_t>(count) : 0;
}
