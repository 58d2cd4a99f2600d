#include "agent_config.h"
#include "files/ini_file.h"

bool IsAgentEnabled() { return ReadAgentSettings().enabled; }

TAgentSettings ReadAgentSettings() {
  const TIniFile file("agent.ini");
  TAgentSettings settings;
  settings.enabled = file.GetInt("Enabled") != 0;
  settings.traceLevel = file.GetInt("Trace");
  return settings;
}

uint16_t GetComPort() {
  return static_cast<uint16_t>(TIniFile("pinpad.ini").GetInt("ComPort") & 0xFFFF);
}
