#pragma once
#include <termios.h>
#include <unistd.h>
#include "system/keyboard.h"

// Keys typed on the controlling terminal, read without waiting. While it
// exists the terminal delivers each key at once and does not echo it; its
// previous settings come back when the keyboard is destroyed. Input that is
// not a terminal (a pipe, /dev/null) is never read: it yields no keys.
class TPosixKeyboard : public TKeyboard {
 public:
  explicit TPosixKeyboard(int fd = STDIN_FILENO);
  ~TPosixKeyboard() override;
  TPosixKeyboard(const TPosixKeyboard&) = delete;
  TPosixKeyboard& operator=(const TPosixKeyboard&) = delete;

  char PollKey() override;

 private:
  bool InForeground() const;

  int fd_;
  bool terminal_ = false;
  bool restore_ = false;
  termios saved_{};
};
