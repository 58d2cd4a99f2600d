#pragma once
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "answer.h"
#include "double_folder.h"

// Answers calls as the scenario file says, with the defaults of
// default_answers.h where it is silent. A section's "result" may list
// several results: each call takes the next, and the last one stays once the
// list is used up. The count of calls starts again whenever the scenario's
// text changes, so a test that writes a new scenario starts its sequences
// from the beginning. Safe to call from several threads.
class TAnswerBook {
 public:
  // The answer to the next call governed by `section` of `scenarioText`.
  // `amountAsked` is the processed amount unless the scenario names one.
  // Every scenario value that cannot be used adds a line to `problems`.
  TAnswer Next(const std::string& scenarioText, const std::string& section, TOperation operation,
               int32_t amountAsked, std::vector<std::string>* problems);

 private:
  std::mutex mutex_;
  std::string scenarioText_;
  std::map<std::string, size_t> callsBySection_;
};

// The next answer for `section` from the scenario in `folder`; what is wrong
// with the scenario goes to the call log, so a test sees why it was ignored.
TAnswer NextAnswerFromFolder(IDoubleFolder& folder, TAnswerBook& book, const std::string& section,
                             TOperation operation, int32_t amountAsked);
