#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "files/file_system.h"
#include "system/device_layer.h"
#include "system/system.h"

void TPCSystem::Shutdown() { std::exit(0); }

TResult TPCSystem::InstallUpdate() {
  char module[kMaxPath] = {};
  GetModuleFileName(module, sizeof module - 1);  // the zero left at the end ends the text
  const char* slash = std::strrchr(module, '/');
  const char* backslash = std::strrchr(module, '\\');
  const char* separator = slash > backslash ? slash : backslash;
  if (!separator) return TResult(RESULT_NOT_SUPPORTED);

  const std::string name = separator + 1;
  const std::string fresh = name + ".new";
  const std::string old = name + ".old";
  // Nothing is touched unless a complete new copy is waiting beside the
  // program: an empty one would leave no program at all.
  IFileSystem* appFileSystem = GetAppFileSystem();
  if (!appFileSystem || appFileSystem->GetFileSize(fresh.c_str()) == 0) return TResult();
  RunShellCommand(std::string(GetDeleteCommand()) + " " + old);
  RunShellCommand(std::string(GetRenameCommand()) + " " + name + " " + old);
  RunShellCommand(std::string(GetCopyCommand()) + " " + fresh + " " + name);
  return TResult();
}

TResult TPCSystem::SetDateTime(uint32_t date, uint32_t time) {
  RunShellCommand(DateCommand(date % 100, date % 10000 / 100, date / 10000));
  RunShellCommand(TimeCommand(time / 10000, time / 100 % 100, time % 100));
  return TResult();
}

void TPCSystem::RunShellCommand(const std::string& command) {
  const int ignored = std::system(command.c_str());
  (void)ignored;
}

TResult TPCSystem::GetRandom(uint8_t* buffer8) {
  if (!buffer8) return TResult(RESULT_INVALID_ARGUMENT);
  if (kAgentBuild) {
    uint32_t hhmmss = 0;
    GetDateTime(nullptr, &hhmmss);
    std::srand(hhmmss);
  }
  for (int i = 0; i < 8; ++i) buffer8[i] = static_cast<uint8_t>(std::rand() & 0xFF);
  return TResult();
}

void TPCSystem::GetSystemName(char* buffer, uint32_t length) {
  if (buffer) std::strncpy(buffer, "PC system", length);
}

void TPCSystem::GetModel(char* buffer64) {
  if (!buffer64) return;
  const std::string model = ReadSoftkey("FakeModel", "WIN32");
  std::snprintf(buffer64, 64, "%s", model.c_str());
}

void TPCSystem::GetScreenSize(uint16_t* width, uint16_t* height, uint8_t* flag) {
  screenSelector_ = static_cast<uint32_t>(std::atoi(ReadSoftkey("PixelSize", "1").c_str()));
  const bool portrait = screenSelector_ == 1;
  if (width) *width = portrait ? 240 : 256;
  if (height) *height = portrait ? 320 : 128;
  if (flag) *flag = 0;
}

TResult TPCSystem::GetSerialNumber(char* buffer64) {
  if (!buffer64) return TResult(RESULT_INVALID_ARGUMENT);
  char volume[16];
  std::snprintf(volume, sizeof volume, "%012lu", static_cast<unsigned long>(GetVolumeSerial()));
  const std::string serial = ReadSoftkey("FakeSerial", volume);
  std::snprintf(buffer64, 64, "%s", serial.c_str());
  return TResult();
}

void TPCSystem::CreateDeviceLayer() {
  // The agent writes no per-connection logs, so it has no trace directory.
  if (!kAgentBuild && !traceFileSystem_) OpenFileSystem("Trace", &traceFileSystem_);
  deviceLayer_.reset(new TPCDeviceLayer(screenSelector_, traceFileSystem_));
}

#if TAVO_AGENT_BUILD
ILoggerToConsole* TPCSystem::GetConsoleLogger() { return &consoleLogger_; }
#endif
