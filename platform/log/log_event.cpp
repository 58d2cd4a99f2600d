#include "log/log_event.h"

#include <cstdio>
#include <cstring>

#include "build_flavour.h"

uint32_t TLogEvent::DataLength() const {
  if (length_ == 0 && data_ != nullptr) {
    return static_cast<uint32_t>(std::strlen(static_cast<const char*>(data_)));
  }
  return length_;
}

size_t TLogEvent::GetTextLength() const { return std::strlen(GetText()); }

// The agent's log lines keep the wording of its own event records: a blank
// after "Connected" (so a peer address stands apart) and a full CR LF after
// "Disconnected".
const char* T_LE_Connected::GetText() const {
  return kAgentBuild ? "Connected " : "Connected";
}

const char* T_LE_Disconnected::GetText() const {
  return kAgentBuild ? "Disconnected\r\n" : "Disconnected\n";
}

T_LE_ComError::T_LE_ComError(const char* text) {
  std::snprintf(text_, sizeof text_, "%s%s", kAgentBuild ? "Error " : "", text ? text : "");
}
