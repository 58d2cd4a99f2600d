#include "http/proxy_setting.h"

#include <cctype>
#include <vector>

#include "environment.h"
#include "files/ini_file.h"
#include "url.h"

namespace {

std::vector<std::string> Entries(const std::string& list) {
  std::vector<std::string> entries;
  std::string entry;
  for (char c : list + ";") {
    if (c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!entry.empty()) entries.push_back(entry);
      entry.clear();
    } else {
      entry += c;
    }
  }
  return entries;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Whole-text match of a pattern whose '*' stands for any run of characters.
bool MatchesPattern(const std::string& text, const std::string& pattern) {
  size_t t = 0, p = 0, starAt = std::string::npos, resumeAt = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (starAt != std::string::npos) {
      p = starAt + 1;
      t = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsBypassed(const std::string& bypass, const std::string& host) {
  const std::string name = Lower(host);
  for (const std::string& entry : Entries(bypass)) {
    const std::string pattern = Lower(entry);
    if (pattern == "<local>") {
      if (name.find('.') == std::string::npos) return true;
    } else if (MatchesPattern(name, pattern)) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<TProxyServer> ParseProxyServer(const std::string& text) {
  if (text.empty()) return std::nullopt;
  TUrl url;
  url.Parse(text, 80);
  if (url.host.empty() || url.port == 0 || !url.path.empty()) return std::nullopt;
  return TProxyServer{url.host, url.port};
}

std::optional<TProxyServer> ChooseProxy(const TProxySetting& setting, const std::string& scheme,
                                        const std::string& host) {
  if (IsBypassed(setting.bypass, host)) return std::nullopt;
  std::optional<TProxyServer> forEveryScheme;
  for (std::string entry : Entries(setting.proxies)) {
    const size_t equals = entry.find('=');
    std::string entryScheme;
    if (equals != std::string::npos) {
      entryScheme = Lower(entry.substr(0, equals));
      entry.erase(0, equals + 1);
    }
    const size_t schemeEnd = entry.find("://");
    if (schemeEnd != std::string::npos) entry.erase(0, schemeEnd + 3);
    const std::optional<TProxyServer> server = ParseProxyServer(entry);
    if (!server) continue;
    if (entryScheme == Lower(scheme)) return server;
    if (entryScheme.empty() && !forEveryScheme) forEveryScheme = server;
  }
  return forEveryScheme;
}

bool ProxyFor(const TIniFile& config, const TUrl& target, std::optional<TProxyServer>* proxy) {
  // A value never holds a line break, so this fallback tells a missing key
  // from an empty one.
  const std::string configured = TrimTrailingBlanks(config.GetValue("Proxy", "\n"));
  if (configured == "\n") {
    *proxy = ChooseProxy(ReadMachineProxySetting(), target.scheme, target.host);
    return true;
  }
  *proxy = ParseProxyServer(configured);
  return proxy->has_value() || configured.empty();
}
