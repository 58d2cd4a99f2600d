#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "agent_trace.h"
#include "bounded_trace_file.h"

// The trace an engineer reads to see why a PIN pad cannot reach its host:
// one entry per event, each starting with its local time to the
// millisecond, written as it happens to agent-trace.txt in the program's
// folder, or in the working directory when the program's folder cannot be
// written. At 1 MiB the file becomes agent-trace.1.txt and a new one is
// begun, so the trace can stay on for weeks in 2 MiB.
class TAgentTraceFile : public IAgentTrace {
 public:
  // The folders are not owned and must outlive the trace; either may be
  // null.
  TAgentTraceFile(IFileSystem* programFolder, IFileSystem* workingFolder);

  // 0: nothing, and the file is closed; 1: the events; 2: also every frame's
  // bytes. A file that could not be opened or written, or that was deleted,
  // is opened again here, so no more often than the caller sets the level.
  void SetLevel(int level);

  void AgentEnabled(bool enabled) override;
  void PortClosing(uint16_t port, TPortClose why, const TResult& failure) override;
  void AgentStops() override;
  void PortOpened(uint16_t port) override;
  void PortNotOpened(uint16_t port, const TResult& why) override;
  void ResetSent() override;
  void LinkUp() override;
  void NakSent(uint8_t sequence) override;
  void NakReceived(uint8_t sequence) override;
  void FrameResent(uint8_t sequence, int transmission) override;
  void LinkFailed(TLinkFailure why, uint8_t sequence) override;
  void Frame(bool sent, const uint8_t* content, size_t length) override;
  void ResetReceived() override;
  void ConnectAsked(uint32_t id, IpAddress address, uint16_t port) override;
  void ListenAsked(uint32_t id, uint16_t port) override;
  void StatusSent(uint32_t id, int32_t code) override;
  void PeerAccepted(uint32_t id, IpAddress peer) override;
  void UnknownConnection(uint32_t id) override;
  void MessageAbandoned(uint32_t id, size_t received, size_t length) override;
  void DataUndelivered(uint32_t id, uint64_t bytes) override;
  void ConnectionClosed(uint32_t id, THostClose why, const TResult& result, uint64_t toHost,
                        uint64_t toPinpad) override;

  static constexpr const char* kFileName = "agent-trace.txt";
  static constexpr const char* kOlderFileName = "agent-trace.1.txt";
  static constexpr uint32_t kFileLimit = 1024 * 1024;

 private:
  bool On() const { return level_ != 0 && file_.IsOpen(); }
  // One entry: the timestamp, the text, CR LF.
  void Line(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  int level_ = 0;
  TBoundedTraceFile file_;
  // What was traced last of what the agent repeats every 5 seconds, so that
  // only a change makes a line: -1 not yet known, else 0 or 1.
  int enabled_ = -1;
  // The reason of the last failed open, empty after an open.
  std::vector<int32_t> openFailure_;
};
