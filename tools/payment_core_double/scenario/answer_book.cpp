#include "answer_book.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "default_answers.h"
#include "scenario.h"

namespace {

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// Decimal text with an optional sign and surrounding blanks; nothing else.
std::optional<int32_t> ParseInt32(const std::string& text) {
  const std::string digits = Trimmed(text);
  if (digits.empty()) return std::nullopt;
  char* stop = nullptr;
  errno = 0;
  const long long value = std::strtoll(digits.c_str(), &stop, 10);
  if (errno != 0 || *stop != '\0' || !(std::isdigit(static_cast<unsigned char>(digits.back()))) ||
      value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

// Reads one section's values; what is wrong with them goes to `problems`.
class TSectionReader {
 public:
  TSectionReader(const TScenario& scenario, std::string section, std::vector<std::string>* problems)
      : scenario_(scenario), section_(std::move(section)), problems_(problems) {}

  const std::vector<std::string>* Values(const char* key) const {
    return scenario_.Values(section_, key);
  }

  // The last value given, so that a later line overrides an earlier one.
  std::optional<std::string> Last(const char* key) const {
    const auto* values = Values(key);
    return values ? std::optional<std::string>(values->back()) : std::nullopt;
  }

  std::optional<int32_t> Number(const char* key, const std::string& text) const {
    const auto number = ParseInt32(text);
    if (!number) Report(key, text, "is not a 32-bit decimal number");
    return number;
  }

  // The results listed on every "result" line, in order, commas between.
  std::vector<int32_t> ResultSequence() const {
    std::vector<int32_t> results;
    const auto* values = Values("result");
    if (!values) return results;
    for (const std::string& value : *values) {
      size_t start = 0;
      while (start <= value.size()) {
        const size_t comma = std::min(value.find(',', start), value.size());
        if (const auto number = Number("result", Trimmed(value.substr(start, comma - start)))) {
          results.push_back(*number);
        }
        start = comma + 1;
      }
    }
    return results;
  }

  void Report(const char* key, const std::string& value, const char* what) const {
    problems_->push_back("[" + section_ + "] " + key + " = " + value + ": " + what);
  }

 private:
  const TScenario& scenario_;
  std::string section_;
  std::vector<std::string>* problems_;
};

std::string Joined(const std::vector<std::string>& lines, const char* separator) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? separator : "") + lines[i];
  return text;
}

}  // namespace

TAnswer TAnswerBook::Next(const std::string& scenarioText, const std::string& section,
                          TOperation operation, int32_t amountAsked,
                          std::vector<std::string>* problems) {
  size_t callsBefore = 0;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (scenarioText != scenarioText_) {
      scenarioText_ = scenarioText;
      callsBySection_.clear();
    }
    callsBefore = callsBySection_[LowerAscii(section)]++;
  }
  const TScenario scenario = TScenario::Parse(scenarioText);
  const TSectionReader reader(scenario, section, problems);

  TAnswer answer;
  const std::vector<int32_t> results = reader.ResultSequence();
  if (!results.empty()) answer.result = results[std::min(callsBefore, results.size() - 1)];
  answer.amount = amountAsked;
  if (const auto amount = reader.Last("amount")) {
    answer.amount = reader.Number("amount", *amount).value_or(amountAsked);
  }
  answer.responseCode = reader.Last("code").value_or(DefaultResponseCode(answer.result));
  answer.message = reader.Last("message").value_or(DefaultMessage(answer.result));
  answer.card = reader.Last("card").value_or(kDefaultCard);
  answer.expiry = reader.Last("expiry").value_or(kDefaultExpiry);
  answer.terminal = reader.Last("terminal").value_or(kDefaultTerminal);
  // Each "text" line is one line of the text; the default is printed with
  // the values settled above.
  if (const auto* lines = reader.Values("text")) {
    answer.text = Joined(*lines, "\r\n");
  } else {
    answer.text = DefaultText(operation, answer);
  }
  if (const auto nullText = reader.Last("null_text")) {
    if (reader.Number("null_text", *nullText).value_or(0) != 0) answer.text.reset();
  }
  return answer;
}

TAnswer NextAnswerFromFolder(IDoubleFolder& folder, TAnswerBook& book, const std::string& section,
                             TOperation operation, int32_t amountAsked) {
  std::vector<std::string> problems;
  TAnswer answer = book.Next(folder.ReadScenario(), section, operation, amountAsked, &problems);
  for (const std::string& problem : problems) folder.AppendToCallLog("scenario problem: " + problem);
  return answer;
}
