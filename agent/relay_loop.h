#pragma once
#include "agent_state.h"
#include "relay_environment.h"

// Keeps the PIN pad's link open on the configured COM port while the agent is
// enabled and pumps it whenever it has something to do: bytes from the PIN
// pad, data from a host, a host ready for data waiting for it, a timeout
// due; at the latest every 20 ms. It closes the link when the agent is
// disabled or a stop is requested, and waits 5 seconds before every new
// open. In console mode a key press stops it too. A stop ends the loop
// within one turn (and one serial write budget, when the line has stalled),
// pause or not.
// Returns only when the agent is to end, or at once when no COM port is
// configured or the serial link or the PC's network interface is missing.
void RunRelayLoop(TAgentState& state, bool console, IRelayEnvironment& environment);

// The same on the platform's devices, clock and configuration files.
void RunRelayLoop(TAgentState& state, bool console);
