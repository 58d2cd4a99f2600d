#pragma once
#include <cstdint>

// The agent relays only while "Enabled" in agent.ini is not 0. The file is
// read afresh on every call so that an engineer can switch a running agent
// off and on.
bool IsAgentEnabled();

// agent.ini as it reads now: the switch, and the trace level of "Trace" (0
// or missing: no trace; 1: events; 2: also the bytes of every frame).
struct TAgentSettings {
  bool enabled = false;
  int traceLevel = 0;
};
TAgentSettings ReadAgentSettings();

// The PIN pad's COM port number from "ComPort" in pinpad.ini; 0 when it is
// missing.
uint16_t GetComPort();
