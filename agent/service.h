#pragma once
#include <cstdio>

class TAgentState;

constexpr const char* kServiceName = "Tavo2Agent";
constexpr const char* kServiceDisplayName = "TAVO 2.0 serial port agent";

// The system's service control, implemented once per operating system.
// Registering a service that is already registered counts as success.
void RegisterService(FILE* out);
void UnregisterService(FILE* out);
// Runs the agent as the system's service. Returns when the service has
// stopped, or at once and silently when the program was not started as one.
void RunAsService();
// Turns the system's requests to end a console run into the stop request,
// so that the run ends as on a key press and gives the terminal back as it
// found it: on Linux SIGINT (Ctrl+C) and SIGTERM. A Windows console keeps
// its modes whatever happens, and Ctrl+C ends the run at once there.
void CatchConsoleStopRequests(TAgentState& state);

// The outcome messages both systems print; error is the system's error number.
void PrintRegistered(FILE* out);
void PrintRegisterFailed(FILE* out, int error);
void PrintUnregistered(FILE* out);
void PrintUnregisterFailed(FILE* out, int error);
