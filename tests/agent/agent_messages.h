#pragma once
#include <string>

// The agent's console texts, as a user sees them.
inline const std::string kUsageText =
    "\n\nTAVO 2.0 serial port agent\n\nUsage:\n\n"
    "\n  agent.exe /reg   - registers Tavo2Agent as a system service"
    "\n  agent.exe /unreg - removes Tavo2Agent from system services"
    "\n  agent.exe /run   - runs Tavo2Agent as a console application"
    "\n\n";
inline const std::string kNoPortText = "\nCOM port number not found in pinpad.ini\n\n";
inline const std::string kNotEnabledText =
    "\nAgent not enabled. Please set Enabled=1 in agent.ini\n\n";
inline const std::string kRegisteredText = "\nTavo2Agent registered\n\n";
inline const std::string kUnregisteredText = "\nTavo2Agent unregistered\n\n";

inline std::string RunningText(int port) {
  return "\nRunning on COM" + std::to_string(port) + ". Press any key to stop.\n\n";
}
inline std::string UnableToRegisterText(int error) {
  return "\nUnable to register Tavo2Agent, error " + std::to_string(error) + "\n\n";
}
inline std::string UnableToUnregisterText(int error) {
  return "\nUnable to unregister Tavo2Agent, error " + std::to_string(error) + "\n\n";
}
