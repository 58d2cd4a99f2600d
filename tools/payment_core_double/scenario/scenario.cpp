#include "scenario.h"

#include <cctype>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An escape the format does not know stays as written, backslash included.
std::string Unescaped(const std::string& value) {
  std::string result;
  for (size_t i = 0; i < value.size(); ++i) {
    const char next = i + 1 < value.size() ? value[i + 1] : '\0';
    if (value[i] != '\\' || next == '\0') {
      result += value[i];
    } else if (next == 'r' || next == 'n' || next == 't' || next == '\\') {
      result += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
      ++i;
    } else if (next == 'x' && i + 3 < value.size() && HexDigitValue(value[i + 2]) >= 0 &&
               HexDigitValue(value[i + 3]) >= 0) {
      result += static_cast<char>(HexDigitValue(value[i + 2]) * 16 + HexDigitValue(value[i + 3]));
      i += 3;
    } else {
      result += value[i];
    }
  }
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back(line);
      line.clear();
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

std::string LowerAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

TScenario TScenario::Parse(const std::string& text) {
  TScenario scenario;
  TSection* section = nullptr;
  for (const std::string& rawLine : Lines(text)) {
    const std::string line = Trimmed(rawLine);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = &scenario.sections_[LowerAscii(Trimmed(line.substr(1, line.size() - 2)))];
      continue;
    }
    const size_t equals = line.find('=');
    // Keys ahead of every section, and lines that are no assignment, say
    // nothing the double could use.
    if (!section || equals == std::string::npos) continue;
    (*section)[LowerAscii(Trimmed(line.substr(0, equals)))].push_back(
        Unescaped(Trimmed(line.substr(equals + 1))));
  }
  return scenario;
}

const std::vector<std::string>* TScenario::Values(const std::string& section,
                                                  const std::string& key) const {
  const auto sectionFound = sections_.find(LowerAscii(section));
  if (sectionFound == sections_.end()) return nullptr;
  const auto keyFound = sectionFound->second.find(LowerAscii(key));
  return keyFound == sectionFound->second.end() ? nullptr : &keyFound->second;
}
