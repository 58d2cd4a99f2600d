#include "environment.h"

namespace {
const char kConfigFile[] = "CONFIG.INI";
const char kProfileFile[] = "PROFILE.INI";
const char kDefaultServerPath[] = "block1";
}  // namespace

std::string TrimTrailingBlanks(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  return text;
}

TCorvoEnvironment::TCorvoEnvironment() : config_(kConfigFile) {}

TCorvoEnvironment::TCorvoEnvironment(const TByteBuffer& configText) : config_(kConfigFile, configText) {}

std::string TCorvoEnvironment::GetHostUrl() { return config_.GetValue("HostURL", ""); }

std::string TCorvoEnvironment::GetServerPath() {
  const std::string fallback = TrimTrailingBlanks(config_.GetValue("URL", kDefaultServerPath));
  const TIniFile profile(kProfileFile);
  return "/" + TrimTrailingBlanks(profile.GetValue("URL", fallback.c_str()));
}

TCorvoEnvironment* GetTerminalEnvironment() {
  static TCorvoEnvironment environment;
  return &environment;
}
