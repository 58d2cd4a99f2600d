#include "script.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

[[noreturn]] void Fail(int line, const std::string& what) {
  throw TScriptError("line " + std::to_string(line) + ": " + what);
}

char Unescape(char c, int line) {
  switch (c) {
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    case '"':
    case '\\':
      return c;
    default:
      Fail(line, std::string("unknown escape \\") + c);
  }
}

// The words of one line, quotes taken off and escapes resolved.
std::vector<std::string> SplitWords(const std::string& text, int line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (true) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size()) return words;
    std::string word;
    if (text[i] == '"') {
      ++i;
      while (true) {
        if (i == text.size()) Fail(line, "the quote is not closed");
        const char c = text[i++];
        if (c == '"') break;
        if (c != '\\') {
          word += c;
        } else if (i == text.size()) {
          Fail(line, "the quote is not closed");
        } else {
          word += Unescape(text[i++], line);
        }
      }
      if (i < text.size() && !IsBlank(text[i])) Fail(line, "a quoted word must be followed by a blank");
    } else {
      while (i < text.size() && !IsBlank(text[i])) word += text[i++];
    }
    words.push_back(word);
  }
}

}  // namespace

std::vector<TScriptCommand> ParseScript(const std::string& text) {
  std::vector<TScriptCommand> commands;
  size_t start = 0;
  for (int line = 1; start <= text.size(); ++line) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string content = text.substr(start, end - start);
    if (!content.empty() && content.back() == '\r') content.pop_back();
    start = end + 1;

    std::vector<std::string> words = SplitWords(content, line);
    if (words.empty() || words.front()[0] == '#') continue;
    TScriptCommand command;
    command.line = line;
    command.name = words.front();
    command.arguments.assign(words.begin() + 1, words.end());
    commands.push_back(command);
  }
  return commands;
}

std::string QuoteText(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      default:
        quoted += c;
    }
  }
  return quoted + "\"";
}
