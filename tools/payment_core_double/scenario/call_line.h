#pragma once
#include <cstdint>
#include <string>

// One line of the call log: the channel ("library" or "com"), the call, and
// its inputs and result as name=value pairs, blank-separated:
//   library _card_authorize6 type=1 amount=1 result=0
class TCallLine {
 public:
  TCallLine(const std::string& channel, const std::string& call);

  TCallLine& With(const std::string& name, const std::string& value);
  TCallLine& With(const std::string& name, int64_t value);

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};
