#include "call_line.h"

TCallLine::TCallLine(const std::string& channel, const std::string& call)
    : text_(channel + " " + call) {}

TCallLine& TCallLine::With(const std::string& name, const std::string& value) {
  text_ += " " + name + "=" + value;
  return *this;
}

TCallLine& TCallLine::With(const std::string& name, int64_t value) {
  return With(name, std::to_string(value));
}
