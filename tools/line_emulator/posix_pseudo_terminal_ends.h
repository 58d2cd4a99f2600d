#pragma once
#include <signal.h>

#include <memory>
#include <string>
#include "line_emulator.h"

// The two ends of the line as pseudo-terminals: a program opens the
// terminal device that a link names, and the emulator reads and writes the
// controlling side. Each terminal stays open here too, so that a program
// may close and reopen its end without the line hanging up. SIGINT, SIGTERM
// and SIGHUP tell the emulator to stop.
class TPseudoTerminalEnds : public ILineEnds {
 public:
  // Null, with the reason in error, when the terminals or links cannot be made.
  static std::unique_ptr<TPseudoTerminalEnds> Open(const std::string links[2], std::string* error);
  ~TPseudoTerminalEnds() override;
  TPseudoTerminalEnds(const TPseudoTerminalEnds&) = delete;
  TPseudoTerminalEnds& operator=(const TPseudoTerminalEnds&) = delete;

  // The terminal device of the end.
  const std::string& Device(int end) const { return devices_[end]; }

  TNanoseconds Now() override;
  bool Wait(const bool readable[2], const bool writable[2], TNanoseconds until) override;
  size_t Read(int end, uint8_t* buffer, size_t size) override;
  size_t Write(int end, const uint8_t* bytes, size_t size) override;

 private:
  TPseudoTerminalEnds() = default;

  int controlling_[2] = {-1, -1};
  int terminal_[2] = {-1, -1};
  std::string devices_[2];
  std::string links_[2];
  TNanoseconds start_ = 0;
  // The signal mask while waiting: the stop signals let through.
  sigset_t waitingMask_;
};
