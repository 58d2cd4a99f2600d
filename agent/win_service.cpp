#include <winsock2.h>
#include <windows.h>
#include <mutex>
#include <string>
#include "agent_state.h"
#include "relay_loop.h"
#include "service.h"

namespace {

// The status record the service reports. The control handler runs on the
// dispatcher's thread while the relay runs on the service's own, so the
// record is only touched under this lock; the relay loop itself never takes it.
std::mutex g_statusLock;
SERVICE_STATUS g_status;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;

void SetState(DWORD state) {
  g_status.dwCurrentState = state;
  g_status.dwWin32ExitCode = 0;
  g_status.dwServiceSpecificExitCode = 0;
  g_status.dwCheckPoint = 0;
  g_status.dwWaitHint = 0;
}

void ReportState(DWORD state) {
  std::lock_guard<std::mutex> lock(g_statusLock);
  SetState(state);
  SetServiceStatus(g_statusHandle, &g_status);
}

void WINAPI AgentServiceHandler(DWORD control) {
  std::lock_guard<std::mutex> lock(g_statusLock);
  if (control == SERVICE_CONTROL_STOP) {
    // All of this happens under the lock, so the stopped state that the
    // service's thread reports when the loop ends always comes after this
    // pending one. Creating the state here, should the stop come before the
    // service's thread got to it, keeps the request from being lost.
    SetState(SERVICE_STOP_PENDING);
    GetAgentState().RequestStop();
  }
  SetServiceStatus(g_statusHandle, &g_status);
}

void WINAPI AgentServiceMain(DWORD, LPSTR*) {
  {
    std::lock_guard<std::mutex> lock(g_statusLock);
    g_status = SERVICE_STATUS{};
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP;
  }
  g_statusHandle = RegisterServiceCtrlHandlerA(kServiceName, AgentServiceHandler);
  if (g_statusHandle == nullptr) return;
  // Nothing slow happens before the loop, so the service is running at once.
  ReportState(SERVICE_RUNNING);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  // An agent without a COM port returns at once and the service stops; a
  // disabled one idles and looks at agent.ini every 5 seconds.
  RunRelayLoop(GetAgentState(), false);
  ReportState(SERVICE_STOPPED);
}

// The command line the service control manager runs. A path with a blank
// is quoted: unquoted, the manager would try every prefix of it that ends
// at a blank ("C:\Program.exe" for "C:\Program Files\...") as a program.
std::string ServiceCommandLine(const char* path) {
  std::string line(path);
  if (line.find(' ') != std::string::npos) line = '"' + line + '"';
  return line;
}

}  // namespace

void RegisterService(FILE* out) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
  if (manager == nullptr) {
    PrintRegisterFailed(out, static_cast<int>(GetLastError()));
    return;
  }
  wchar_t widePath[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, widePath, MAX_PATH);
  // A cut path would register a program that does not exist.
  DWORD error = length == 0 ? GetLastError() : length >= MAX_PATH ? ERROR_INSUFFICIENT_BUFFER : 0;
  // The agent opens agent.ini and pinpad.ini by ANSI names: in a folder whose
  // name the ANSI code page cannot write ("?" in its place) the service could
  // not start, or would run without them.
  // A UTF-8 code page writes every name and takes neither the flag nor the
  // question.
  const bool utf8 = GetACP() == CP_UTF8;
  char path[MAX_PATH * 2] = {};
  BOOL lossy = FALSE;
  if (error == 0 && (WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, widePath, -1, path,
                                         sizeof path, nullptr, utf8 ? nullptr : &lossy) == 0 ||
                     lossy)) {
    error = ERROR_NO_UNICODE_TRANSLATION;
  }
  if (error != 0) {
    CloseServiceHandle(manager);
    PrintRegisterFailed(out, static_cast<int>(error));
    return;
  }
  const std::string commandLine = ServiceCommandLine(path);
  SC_HANDLE service = CreateServiceA(manager, kServiceName, kServiceDisplayName, SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                     SERVICE_ERROR_NORMAL, commandLine.c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
  error = service == nullptr ? GetLastError() : ERROR_SUCCESS;
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  if (error == ERROR_SUCCESS || error == ERROR_SERVICE_EXISTS) {
    PrintRegistered(out);
  } else {
    PrintRegisterFailed(out, static_cast<int>(error));
  }
}

void UnregisterService(FILE* out) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) {
    PrintUnregisterFailed(out, static_cast<int>(GetLastError()));
    return;
  }
  DWORD error = ERROR_SUCCESS;
  SC_HANDLE service = OpenServiceA(manager, kServiceName, DELETE);
  if (service == nullptr) {
    error = GetLastError();
  } else {
    if (!DeleteService(service)) error = GetLastError();
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  if (error == ERROR_SUCCESS) {
    PrintUnregistered(out);
  } else {
    PrintUnregisterFailed(out, static_cast<int>(error));
  }
}

void CatchConsoleStopRequests(TAgentState&) {}

void RunAsService() {
  std::string name(kServiceName);
  SERVICE_TABLE_ENTRYA table[] = {{&name[0], AgentServiceMain}, {nullptr, nullptr}};
  // Fails when the program was not started by the service control manager
  // (someone ran it without arguments); there is nothing to do then.
  StartServiceCtrlDispatcherA(table);
}
