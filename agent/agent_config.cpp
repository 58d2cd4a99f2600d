#include "agent_config.h"
#include "files/ini_file.h"

bool IsAgentEnabled() {
  return TIniFile("agent.ini").GetInt("Enabled") != 0;
}

uint16_t GetComPort() {
  return static_cast<uint16_t>(TIniFile("pinpad.ini").GetInt("ComPort") & 0xFFFF);
}
