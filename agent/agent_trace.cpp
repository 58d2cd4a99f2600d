#include "agent_trace.h"

namespace {

class TNullAgentTrace : public IAgentTrace {
 public:
  void AgentEnabled(bool) override {}
  void PortClosing(uint16_t, TPortClose, const TResult&) override {}
  void AgentStops() override {}
  void PortOpened(uint16_t) override {}
  void PortNotOpened(uint16_t, const TResult&) override {}
  void ResetSent() override {}
  void LinkUp() override {}
  void NakSent(uint8_t) override {}
  void NakReceived(uint8_t) override {}
  void FrameResent(uint8_t, int) override {}
  void LinkFailed(TLinkFailure, uint8_t) override {}
  void Frame(bool, const uint8_t*, size_t) override {}
  void ResetReceived() override {}
  void ConnectAsked(uint32_t, IpAddress, uint16_t) override {}
  void ListenAsked(uint32_t, uint16_t) override {}
  void StatusSent(uint32_t, int32_t) override {}
  void PeerAccepted(uint32_t, IpAddress) override {}
  void UnknownConnection(uint32_t) override {}
  void MessageAbandoned(uint32_t, size_t, size_t) override {}
  void DataUndelivered(uint32_t, uint64_t) override {}
  void ConnectionClosed(uint32_t, THostClose, const TResult&, uint64_t, uint64_t) override {}
};

}  // namespace

IAgentTrace& NullAgentTrace() {
  // Never destroyed: devices that hold it may outlive every static.
  static IAgentTrace* const trace = new TNullAgentTrace;
  return *trace;
}
