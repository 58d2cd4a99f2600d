#pragma once
#include <cstdint>

// The agent relays only while "Enabled" in agent.ini is not 0. The file is
// read afresh on every call so that an engineer can switch a running agent
// off and on.
bool IsAgentEnabled();

// The PIN pad's COM port number from "ComPort" in pinpad.ini; 0 when it is
// missing.
uint16_t GetComPort();
