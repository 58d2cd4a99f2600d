#include "command_line.h"
#include <cstring>
#include "agent_config.h"
#include "relay_loop.h"
#include "service.h"

namespace {

// ASCII only: the commands are plain English words, and the C library's
// tolower would follow the locale.
bool EqualsIgnoringCase(const char* text, const char* word) {
  for (; *text && *word; ++text, ++word) {
    char c = *text;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *word) return false;
  }
  return *text == *word;
}

}  // namespace

TAgentCommand ParseAgentCommand(int argc, const char* const* argv) {
  if (argc < 2 || argv[1] == nullptr) return TAgentCommand::Service;
  const char* command = argv[1];
  if (*command == '-' || *command == '/' || *command == '\\') ++command;
  if (EqualsIgnoringCase(command, "reg")) return TAgentCommand::Register;
  if (EqualsIgnoringCase(command, "unreg")) return TAgentCommand::Unregister;
  if (EqualsIgnoringCase(command, "run")) return TAgentCommand::Run;
  return TAgentCommand::Usage;
}

void PrintUsage(FILE* out) {
  const char* program = "agent.exe";
  fprintf(out, "\n\n%s\n\nUsage:\n\n", kServiceDisplayName);
  fprintf(out, "\n  %s /reg   - registers %s as a system service", program, kServiceName);
  fprintf(out, "\n  %s /unreg - removes %s from system services", program, kServiceName);
  fprintf(out, "\n  %s /run   - runs %s as a console application", program, kServiceName);
  fprintf(out, "\n\n");
}

void RunConsole(TAgentState& state, FILE* out) {
  if (state.GetComPort() == 0) {
    fprintf(out, "\nCOM port number not found in pinpad.ini\n\n");
    return;
  }
  if (!IsAgentEnabled()) {
    fprintf(out, "\nAgent not enabled. Please set Enabled=1 in agent.ini\n\n");
    return;
  }
  fprintf(out, "\nRunning on COM%d. Press any key to stop.\n\n", state.GetComPort());
  // Whoever watches the console (or a pipe) must see this before the relay
  // starts, not when the program ends.
  fflush(out);
  // Before the relay takes the keys: a request to end the run from then on
  // goes the way of a key press, which gives the terminal back.
  CatchConsoleStopRequests(state);
  RunRelayLoop(state, true);
}

int RunAgent(int argc, const char* const* argv, FILE* out) {
  switch (ParseAgentCommand(argc, argv)) {
    case TAgentCommand::Service:
      RunAsService();
      break;
    case TAgentCommand::Register:
      RegisterService(out);
      break;
    case TAgentCommand::Unregister:
      UnregisterService(out);
      break;
    case TAgentCommand::Run:
      RunConsole(GetAgentState(), out);
      break;
    case TAgentCommand::Usage:
      PrintUsage(out);
      break;
  }
  fflush(out);
  return 0;
}
