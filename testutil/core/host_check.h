#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "log_lines.h"

// Whether a processing host accepts TCP connections. The window side connects
// to the dotted IPv4 address and port with a 5000 ms timeout and closes the
// connection at once, sending nothing.
class IHostProbe {
 public:
  virtual ~IHostProbe() = default;
  virtual bool IsHostReachable(const std::wstring& address, uint16_t port) = 0;
};

// btn10 "Тестировать": both hosts on both ports (670 and 666 in an
// installation), first host first, one line each, after the notes on what
// the configuration did not name.
void CheckProcessingHosts(ILogLines& log, IHostProbe& probe, const std::wstring& firstHost,
                          const std::wstring& secondHost, uint16_t firstPort, uint16_t secondPort,
                          const std::vector<std::wstring>& notes);
