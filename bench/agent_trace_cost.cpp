// Measures what the agent's trace costs the relay loop per event: at level 0
// (the call alone), at level 1 (an event entry written to the file) and at
// level 2 (a 255-byte frame dumped). The trace goes to agent-trace.txt in
// the working directory, which is emptied of it before and after.
//
// usage: agent_trace_cost [EVENTS]   (default 20000 per level)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include "agent_trace_file.h"
#include "working_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

double MicrosecondsPerEvent(TAgentTraceFile& trace, int level, bool frames, unsigned events) {
  trace.SetLevel(level);
  uint8_t frame[260];
  for (unsigned i = 0; i < sizeof frame; ++i) frame[i] = static_cast<uint8_t>(i);
  const auto start = Clock::now();
  for (unsigned i = 0; i < events; ++i) {
    if (frames) {
      trace.Frame(true, frame, sizeof frame);
    } else {
      trace.ConnectAsked(i, 0x0A000001, 443);
    }
  }
  const std::chrono::duration<double, std::micro> spent = Clock::now() - start;
  return spent.count() / events;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned events = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 20000;
  if (events == 0) return 2;
  TWorkingFolder folder;
  folder.Remove(TAgentTraceFile::kFileName);
  folder.Remove(TAgentTraceFile::kOlderFileName);
  {
    TAgentTraceFile trace(&folder, nullptr);
    std::printf("level 0, any event:          %8.3f us\n", MicrosecondsPerEvent(trace, 0, false, events));
    std::printf("level 1, connection event:   %8.3f us\n", MicrosecondsPerEvent(trace, 1, false, events));
    std::printf("level 2, 260-byte frame:     %8.3f us\n", MicrosecondsPerEvent(trace, 2, true, events));
  }
  folder.Remove(TAgentTraceFile::kFileName);
  folder.Remove(TAgentTraceFile::kOlderFileName);
  return 0;
}
