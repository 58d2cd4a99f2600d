#include <winsock2.h>
#include <windows.h>
#include <string>
#include "agent_process.h"

namespace {

ULONGLONG Deadline(int waitMs = kGenerousWaitMs) {
  return GetTickCount64() + static_cast<ULONGLONG>(waitMs);
}

// Appends what the pipe holds now, waiting up to waitMs for something; false
// once the writer is gone and nothing is left.
bool ReadSome(HANDLE pipe, std::string& text, DWORD waitMs) {
  DWORD available = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
  if (available == 0) {
    Sleep(waitMs);
    return true;
  }
  char buffer[512];
  DWORD n = 0;
  if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &n, nullptr)) {
    return false;
  }
  text.append(buffer, n);
  return true;
}

struct TPipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
};

// A pipe whose `childEnd` the program inherits.
TPipe MakePipe(bool childReads) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  TPipe pipe;
  CreatePipe(&pipe.read, &pipe.write, &inherit, 0);
  SetHandleInformation(childReads ? pipe.write : pipe.read, HANDLE_FLAG_INHERIT, 0);
  return pipe;
}

// Starts the program with its input and output on the given handles.
PROCESS_INFORMATION Start(const TAgentFolder& folder, const char* argument, HANDLE input,
                          HANDLE output) {
  std::string commandLine = "\"" + folder.ProgramPath() + "\"";
  if (argument) commandLine += std::string(" ") + argument;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(folder.ProgramPath().c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                      nullptr, folder.Path().c_str(), &startup, &process)) {
    process.hProcess = nullptr;
  }
  if (process.hThread) CloseHandle(process.hThread);
  return process;
}

}  // namespace

std::string TestProgramDirectory() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string program(path, n);
  return program.substr(0, program.find_last_of("\\/"));
}

const char* AgentProgramName() {
  return "agent.exe";
}

std::string ConsoleText(const std::string& text) {
  std::string converted;
  for (char c : text) {
    if (c == '\n') converted += '\r';
    converted += c;
  }
  return converted;
}

TAgentOutput RunAgentProgram(const TAgentFolder& folder, const char* argument) {
  TAgentOutput output;
  TPipe out = MakePipe(false);
  TPipe in = MakePipe(true);
  PROCESS_INFORMATION process = Start(folder, argument, in.read, out.write);
  CloseHandle(out.write);
  CloseHandle(in.read);
  if (!process.hProcess) {
    CloseHandle(out.read);
    CloseHandle(in.write);
    return output;
  }
  const ULONGLONG deadline = Deadline();
  while (GetTickCount64() < deadline && ReadSome(out.read, output.text, 20)) {
  }
  if (WaitForSingleObject(process.hProcess, 1000) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    output.ended = true;
    output.exitCode = static_cast<int>(code);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hProcess);
  CloseHandle(out.read);
  CloseHandle(in.write);
  return output;
}

struct TAgentProcess::Native {
  HANDLE process = nullptr;
  DWORD id = 0;
  HANDLE output = nullptr;
  HANDLE input = nullptr;
  std::string text;
  bool ended = false;
  int exitCode = -1;
};

TAgentProcess::TAgentProcess(const TAgentFolder& folder, const char* argument)
    : native_(new Native) {
  TPipe out = MakePipe(false);
  TPipe in = MakePipe(true);
  PROCESS_INFORMATION process = Start(folder, argument, in.read, out.write);
  CloseHandle(out.write);
  CloseHandle(in.read);
  native_->process = process.hProcess;
  native_->id = process.dwProcessId;
  native_->output = out.read;
  native_->input = in.write;
}

TAgentProcess::~TAgentProcess() {
  if (IsRunning()) {
    TerminateProcess(native_->process, 1);
    WaitForSingleObject(native_->process, INFINITE);
  }
  if (native_->process) CloseHandle(native_->process);
  CloseHandle(native_->output);
  CloseHandle(native_->input);
}

bool TAgentProcess::WaitForOutput(const std::string& expected) {
  const ULONGLONG deadline = Deadline();
  while (native_->text.find(expected) == std::string::npos && GetTickCount64() < deadline) {
    if (!ReadSome(native_->output, native_->text, 20)) break;
  }
  return native_->text.find(expected) != std::string::npos;
}

const std::string& TAgentProcess::Output() const {
  return native_->text;
}

bool TAgentProcess::IsRunning() {
  if (!native_->process || native_->ended) return false;
  if (WaitForSingleObject(native_->process, 0) != WAIT_OBJECT_0) return true;
  DWORD code = 0;
  GetExitCodeProcess(native_->process, &code);
  native_->ended = true;
  native_->exitCode = static_cast<int>(code);
  return false;
}

void TAgentProcess::Type(const std::string& text) {
  DWORD written = 0;
  WriteFile(native_->input, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool TAgentProcess::WaitForExit(const std::string& key, int waitMs) {
  const ULONGLONG deadline = Deadline(waitMs);
  ULONGLONG nextKey = GetTickCount64();
  while (IsRunning() && GetTickCount64() < deadline) {
    if (!key.empty() && GetTickCount64() >= nextKey) {
      Type(key);
      nextKey = GetTickCount64() + 500;
    }
    ReadSome(native_->output, native_->text, 20);
  }
  return native_->ended;
}

int TAgentProcess::ExitCode() const {
  return native_->exitCode;
}

long TAgentProcess::Id() const {
  return static_cast<long>(native_->id);
}
