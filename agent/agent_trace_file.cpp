#include "agent_trace_file.h"
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include "log/logger_to_file.h"

namespace {

// "dd.mm hh:mm:ss.mmm ": the platform logs' stamp with the milliseconds.
constexpr size_t kStampWidth = 19;

std::string Stamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  // The agent traces from its one loop thread only.
  const std::tm* local = std::localtime(&seconds);
  char stamp[32] = "00.00 00:00:00.000 ";
  if (local) {
    std::snprintf(stamp, sizeof stamp, "%02d.%02d %02d:%02d:%02d.%03d ", local->tm_mday, local->tm_mon + 1,
                  local->tm_hour, local->tm_min, local->tm_sec, static_cast<int>(milliseconds));
  }
  return stamp;
}

const char* HostCloseText(THostClose why) {
  switch (why) {
    case THostClose::ByPinpad:
      return "closed by the PIN pad";
    case THostClose::ByHost:
      return "closed by the host";
    case THostClose::ConnectFailed:
      return "the connect failed";
    case THostClose::WriteFailed:
      return "closed: the host connection refused data";
    case THostClose::HostTooSlow:
      return "closed: the host took too little of the PIN pad's data (64 KiB waiting)";
    case THostClose::LinkDown:
      return "closed: the serial link failed while the host's data went out";
    case THostClose::PinpadReset:
      return "closed: the PIN pad reset its link";
    case THostClose::Replaced:
      return "closed: the PIN pad asked anew under the same id";
    case THostClose::PortClosed:
      return "closed with the COM port";
    case THostClose::LinkReopened:
      return "closed: data for the PIN pad was dropped in the middle of a message, the link was opened anew";
    case THostClose::MessageLost:
      return "closed: the PIN pad's link gave up a message in the middle";
    case THostClose::FlushTimedOut:
      return "closed by the PIN pad; the host did not take the rest of its data in time";
  }
  return "closed";
}

// "20001 21002": every code of the chain.
std::string CodeList(const TResult& result) {
  std::string list;
  for (int32_t code : result.Codes()) list += (list.empty() ? "" : " ") + std::to_string(code);
  return list;
}

std::string Address(IpAddress address) {
  char text[16];
  FormatIpAddress(address, text);
  return text;
}

}  // namespace

TAgentTraceFile::TAgentTraceFile(IFileSystem* programFolder, IFileSystem* workingFolder)
    : file_({programFolder, workingFolder}, kFileName, kOlderFileName, kFileLimit) {}

void TAgentTraceFile::SetLevel(int level) {
  if (level <= 0) {
    if (On()) Line("trace off");
    level_ = 0;
    enabled_ = -1;
    openFailure_.clear();
    file_.Close();
    return;
  }
  const int was = level_;
  level_ = level > 2 ? 2 : level;
  if (file_.Vanished()) file_.Close();
  if (!file_.IsOpen()) {
    if (!file_.Open()) return;
    enabled_ = -1;
    openFailure_.clear();
    Line(was == 0 ? "trace on, level %d" : "trace on again, level %d; lines may be missing before this", level_);
  } else if (was != level_) {
    Line("trace level %d", level_);
  }
}

void TAgentTraceFile::Line(const char* format, ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  file_.Write(Stamp() + text + "\r\n");
}

void TAgentTraceFile::AgentEnabled(bool enabled) {
  if (!On() || enabled_ == (enabled ? 1 : 0)) return;
  enabled_ = enabled ? 1 : 0;
  Line(enabled ? "agent.ini: Enabled=1, the agent relays" : "agent.ini: Enabled=0, the agent does not relay");
}

void TAgentTraceFile::PortClosing(uint16_t port, TPortClose why, const TResult& failure) {
  if (!On()) return;
  if (why == TPortClose::DeviceFailed) {
    const std::string list = CodeList(failure);
    Line("closing COM%u: its device failed (result %s), hung up or removed; opened again every 5 s", port,
         list.c_str());
    return;
  }
  Line("closing COM%u: %s", port, why == TPortClose::Disabled ? "the agent was disabled in agent.ini" : "stop requested");
}

void TAgentTraceFile::AgentStops() {
  if (On()) Line("agent stops");
}

void TAgentTraceFile::PortOpened(uint16_t port) {
  if (!On()) return;
  openFailure_.clear();
  Line("COM%u opened", port);
}

void TAgentTraceFile::PortNotOpened(uint16_t port, const TResult& why) {
  if (!On()) return;
  std::vector<int32_t> codes = why.Codes();
  if (codes == openFailure_) return;
  openFailure_ = codes;
  const std::string list = CodeList(why);
  Line("COM%u cannot be opened (result %s); tried again every 5 s, traced again when the result changes",
       port, list.c_str());
}

void TAgentTraceFile::ResetSent() {
  if (On()) Line("reset sent, waiting for the PIN pad to answer");
}

void TAgentTraceFile::LinkUp() {
  if (On()) Line("link up: the PIN pad answered");
}

void TAgentTraceFile::NakSent(uint8_t sequence) {
  if (On()) Line("NAK sent: frame %u came with a bad CRC", sequence);
}

void TAgentTraceFile::NakReceived(uint8_t sequence) {
  if (On()) Line("NAK received for frame %u", sequence);
}

void TAgentTraceFile::FrameResent(uint8_t sequence, int transmission) {
  if (On()) Line("frame %u sent again (%d of 3)", sequence, transmission);
}

void TAgentTraceFile::LinkFailed(TLinkFailure why, uint8_t sequence) {
  if (!On()) return;
  const char* reason = why == TLinkFailure::RetriesExhausted    ? "refused 3 times"
                       : why == TLinkFailure::NoAcknowledgement ? "not answered within 2 s"
                                                                : "could not be written to the port";
  Line("link down: frame %u %s; the data queued for the PIN pad is dropped", sequence, reason);
}

void TAgentTraceFile::Frame(bool sent, const uint8_t* content, size_t length) {
  if (level_ < 2 || !file_.IsOpen()) return;
  std::string entry = Stamp();
  entry += sent ? '>' : '<';
  AppendLogDump(entry, sent ? '>' : '<', content, static_cast<uint32_t>(length), kStampWidth);
  entry += "\r\n";
  file_.Write(entry);
}

void TAgentTraceFile::ResetReceived() {
  if (On()) Line("reset received: the PIN pad opened its link anew, its connections are void");
}

void TAgentTraceFile::ConnectAsked(uint32_t id, IpAddress address, uint16_t port) {
  if (On()) Line("connection %lu: connect to %s:%u asked", static_cast<unsigned long>(id), Address(address).c_str(), port);
}

void TAgentTraceFile::ListenAsked(uint32_t id, uint16_t port) {
  if (On()) Line("connection %lu: listen on port %u asked", static_cast<unsigned long>(id), port);
}

void TAgentTraceFile::StatusSent(uint32_t id, int32_t code) {
  if (!On()) return;
  Line("connection %lu: status %ld%s", static_cast<unsigned long>(id), static_cast<long>(code),
       code == 0 ? " (connected)" : " (failed)");
}

void TAgentTraceFile::PeerAccepted(uint32_t id, IpAddress peer) {
  if (!On()) return;
  // The connection keeps the address as the socket layer stores it: its
  // bytes in memory are the octets in order.
  uint8_t octets[4];
  std::memcpy(octets, &peer, sizeof octets);
  Line("connection %lu: accepted a peer from %u.%u.%u.%u", static_cast<unsigned long>(id), octets[0], octets[1],
       octets[2], octets[3]);
}

void TAgentTraceFile::UnknownConnection(uint32_t id) {
  if (On()) Line("connection %lu: data for it, but it does not exist; answered closed", static_cast<unsigned long>(id));
}

void TAgentTraceFile::MessageAbandoned(uint32_t id, size_t received, size_t length) {
  if (!On()) return;
  Line("connection %lu: the PIN pad's link stopped after %lu of the %lu bytes of a message; dropped",
       static_cast<unsigned long>(id), static_cast<unsigned long>(received), static_cast<unsigned long>(length));
}

void TAgentTraceFile::DataUndelivered(uint32_t id, uint64_t bytes) {
  if (!On()) return;
  Line("connection %lu: %s bytes of the PIN pad's data did not reach the host", static_cast<unsigned long>(id),
       std::to_string(bytes).c_str());
}

void TAgentTraceFile::ConnectionClosed(uint32_t id, THostClose why, const TResult& result, uint64_t toHost,
                                       uint64_t toPinpad) {
  if (!On()) return;
  const std::string codes = result.GetCode() != 0 ? " (result " + CodeList(result) + ")" : std::string();
  Line("connection %lu: %s%s; %s bytes to the host, %s bytes to the PIN pad", static_cast<unsigned long>(id),
       HostCloseText(why), codes.c_str(), std::to_string(toHost).c_str(), std::to_string(toPinpad).c_str());
}
