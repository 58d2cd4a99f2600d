#include "system/posix_keyboard.h"
#include <poll.h>

TPosixKeyboard::TPosixKeyboard(int fd) : fd_(fd) {
  terminal_ = isatty(fd_) == 1;
  // Changing the settings from a background job would stop the process
  // (SIGTTOU), so a background process leaves the terminal alone.
  if (!terminal_ || !InForeground() || tcgetattr(fd_, &saved_) != 0) return;
  termios keys = saved_;
  // Keys arrive one by one and unseen, as from a console's _getch. Output
  // processing and signal keys stay on: messages keep their line ends and
  // Ctrl+C still interrupts.
  keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  keys.c_cc[VMIN] = 0;
  keys.c_cc[VTIME] = 0;
  restore_ = tcsetattr(fd_, TCSANOW, &keys) == 0;
}

TPosixKeyboard::~TPosixKeyboard() {
  if (restore_) tcsetattr(fd_, TCSANOW, &saved_);
}

bool TPosixKeyboard::InForeground() const {
  const pid_t group = tcgetpgrp(fd_);
  return group == -1 || group == getpgrp();
}

char TPosixKeyboard::PollKey() {
  // Reading from a background job would stop the process (SIGTTIN).
  if (!terminal_ || !InForeground()) return 0;
  pollfd waiting{fd_, POLLIN, 0};
  if (poll(&waiting, 1, 0) <= 0 || (waiting.revents & POLLIN) == 0) return 0;
  unsigned char key = 0;
  if (read(fd_, &key, 1) != 1) return 0;
  return static_cast<char>(key);
}

IKeyboard* NewPlatformKeyboard() { return new TPosixKeyboard(); }
