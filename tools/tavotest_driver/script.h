#pragma once
#include <stdexcept>
#include <string>
#include <vector>

// One command of a driver script: its name, its arguments and the line it
// stands on, for messages.
struct TScriptCommand {
  int line = 0;
  std::string name;
  std::vector<std::string> arguments;
};

// A script that cannot be read as commands (an unclosed quote, an unknown
// escape); what() names the line.
class TScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits UTF-8 script text into commands. Words are separated by blanks or
// tabs; "double quotes" keep blanks and know the escapes \" \\ \n \r \t. A
// line whose first word starts with # is a comment; empty lines are skipped.
std::vector<TScriptCommand> ParseScript(const std::string& text);

// text as a script would write it: in double quotes, with line breaks, tabs,
// quotes and backslashes escaped, so that invisible differences show.
std::string QuoteText(const std::string& text);
