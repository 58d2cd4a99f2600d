#include "environment.h"

#include <memory>

#include "files/file_system.h"
#include "system/system.h"

namespace {
const char kConfigFile[] = "CONFIG.INI";
const char kProfileFile[] = "PROFILE.INI";
const char kDefaultServerPath[] = "block1";

// A missing or unreadable file reads as an empty one.
TByteBuffer ReadWhole(IFileSystem* files, const char* name) {
  TByteBuffer content;
  std::unique_ptr<IFileReadable> file(files ? files->OpenRead(name) : nullptr);
  if (file) content.ReadAll(*file);
  return content;
}

}  // namespace

std::string TrimTrailingBlanks(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  return text;
}

TCorvoEnvironment::TCorvoEnvironment(IFileSystem* files)
    : files_(files), config_(kConfigFile, ReadWhole(files, kConfigFile)) {}

TCorvoEnvironment::TCorvoEnvironment(const TByteBuffer& configText)
    : files_(GetSystem()->GetAppFileSystem()), config_(kConfigFile, configText) {}

std::string TCorvoEnvironment::GetHostUrl() { return config_.GetValue("HostURL", ""); }

std::string TCorvoEnvironment::GetServerPath() {
  const std::string fallback = TrimTrailingBlanks(config_.GetValue("URL", kDefaultServerPath));
  const TIniFile profile(kProfileFile, ReadWhole(files_, kProfileFile));
  return "/" + TrimTrailingBlanks(profile.GetValue("URL", fallback.c_str()));
}

TCorvoEnvironment* GetTerminalEnvironment() {
  static TCorvoEnvironment environment(GetSystem()->GetAppFileSystem());
  return &environment;
}
