#include "agent_state.h"
#include "agent_config.h"

TAgentState& GetAgentState() {
  static TAgentState state(GetComPort());
  return state;
}
