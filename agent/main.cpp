#include <cstdio>
#include "agent_devices.h"
#include "command_line.h"

int main(int argc, char** argv) {
  RegisterAgentDevices();
  return RunAgent(argc, argv, stdout);
}
