#include "automation_session.h"

#include "call_line.h"
#include "scenario.h"

namespace {

// The operation whose default texts NFun(code) answers with.
TOperation OperationOfFunction(int32_t code) {
  switch (code) {
    case 10: return TOperation::ServiceMenu;
    case 13: return TOperation::PinpadTest;
    case 4000: return TOperation::Payment;
    case 4002: return TOperation::Refund;
    case 4003: return TOperation::Cancellation;
    case 5002: return TOperation::CardRead;
    case 6000: return TOperation::Reconciliation;
    case 6002: return TOperation::Statistics;
    default: return TOperation::Other;
  }
}

}  // namespace

void TAutomationSession::Clear() {
  inputs_.clear();
  resultByLowerName_.clear();
  folder_.AppendToCallLog(TCallLine("com", "Clear").Text());
}

void TAutomationSession::Sparam(const std::string& name, int32_t value) {
  folder_.AppendToCallLog(TCallLine("com", "Sparam").With(name, value).Text());
  for (auto& input : inputs_) {
    if (LowerAscii(input.first) == LowerAscii(name)) {
      input.second = value;
      return;
    }
  }
  inputs_.emplace_back(name, value);
}

int32_t TAutomationSession::NFun(int32_t code) {
  TCallLine line("com", "NFun " + std::to_string(code));
  int32_t amountAsked = 0;
  for (const auto& input : inputs_) {
    line.With(input.first, input.second);
    if (LowerAscii(input.first) == "amount") amountAsked = input.second;
  }
  const TAnswer answer = NextAnswerFromFolder(folder_, book_, "NFun " + std::to_string(code),
                                              OperationOfFunction(code), amountAsked);
  resultByLowerName_ = {
      {"cheque", answer.text.value_or("")},
      {"amountclear", std::to_string(answer.amount)},
      {"clientcard", answer.card},
      {"clientexpirydate", answer.expiry},
  };
  folder_.AppendToCallLog(line.With("result", answer.result).Text());
  return answer.result;
}

std::string TAutomationSession::GParamString(const std::string& name) {
  folder_.AppendToCallLog(TCallLine("com", "GParamString " + name).Text());
  const auto found = resultByLowerName_.find(LowerAscii(name));
  return found == resultByLowerName_.end() ? "" : found->second;
}
