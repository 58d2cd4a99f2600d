#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "answer_book.h"
#include "double_folder.h"

// The payment core's automation object, apart from COM: parameters are set
// with Sparam, a function is run with NFun (scenario section "NFun <code>"),
// its results are read with GParamString, and Clear forgets both. Every
// call is logged. Names and texts are code page 1251 bytes.
class TAutomationSession {
 public:
  TAutomationSession(IDoubleFolder& folder, TAnswerBook& book) : folder_(folder), book_(book) {}

  void Clear();
  void Sparam(const std::string& name, int32_t value);
  int32_t NFun(int32_t code);
  // The text of a result of the last NFun since Clear: "Cheque",
  // "AmountClear", "ClientCard" or "ClientExpiryDate"; empty otherwise.
  std::string GParamString(const std::string& name);

 private:
  IDoubleFolder& folder_;
  TAnswerBook& book_;
  std::vector<std::pair<std::string, int32_t>> inputs_;  // in the order set
  std::map<std::string, std::string> resultByLowerName_;
};
