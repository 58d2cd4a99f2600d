#include "system/posix_profile.h"
#include <strings.h>
#include <sstream>

namespace {

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::string ReadProfileString(const std::string& text, const std::string& section, const std::string& key,
                              const std::string& fallback, std::size_t maxLength) {
  std::istringstream lines(text);
  std::string line;
  bool inSection = false;
  const std::string wantedKey = Trim(key);
  while (std::getline(lines, line)) {
    const std::string trimmed = Trim(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
      const std::size_t close = trimmed.find(']');
      inSection = close != std::string::npos && SameName(Trim(trimmed.substr(1, close - 1)), Trim(section));
      continue;
    }
    const std::size_t equals = trimmed.find('=');
    if (!inSection || equals == std::string::npos) continue;
    if (SameName(Trim(trimmed.substr(0, equals)), wantedKey))
      return Unquote(Trim(trimmed.substr(equals + 1))).substr(0, maxLength);
  }
  return fallback.substr(0, maxLength);
}
