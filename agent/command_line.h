#pragma once
#include <cstdio>
#include "agent_state.h"

enum class TAgentCommand {
  Service,     // no argument: run as the system's service
  Register,    // "reg"
  Unregister,  // "unreg"
  Run,         // "run": relay in the console until a key is pressed
  Usage,       // anything else
};

// Only the first argument counts. One leading '-', '/' or '\' is dropped and
// letter case is ignored, so /RUN, -run and run are alike while //run is not.
TAgentCommand ParseAgentCommand(int argc, const char* const* argv);

void PrintUsage(FILE* out);

// The console run: checks the configuration, says so when something is
// missing, and otherwise relays until a key is pressed.
void RunConsole(TAgentState& state, FILE* out);

// The program: runs the command of the command line, printing to out. The
// exit code is always 0; failures are reported in words.
int RunAgent(int argc, const char* const* argv, FILE* out);
