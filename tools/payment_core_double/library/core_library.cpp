#include "core_library.h"

#include <algorithm>
#include <cstring>

namespace {

// Fields without a terminator take the value's bytes, cut to the field and
// padded with blanks, as fixed-width text fields are.
template <size_t size>
void FillField(char (&field)[size], const std::string& value) {
  std::memset(field, ' ', size);
  std::memcpy(field, value.data(), std::min(size, value.size()));
}

// Copies what fits in front of the NUL.
void CopyTerminated(char* buffer, size_t size, const std::string& value) {
  const size_t length = std::min(size - 1, value.size());
  std::memcpy(buffer, value.data(), length);
  buffer[length] = '\0';
}

// The expiry's reader stops at the buffer's end, so a value that fills it
// needs no terminator.
void CopyUpToSize(char* buffer, size_t size, const std::string& value) {
  const size_t length = std::min(size, value.size());
  std::memcpy(buffer, value.data(), length);
  if (length < size) buffer[length] = '\0';
}

// The buffer sizes the payment core's callers provide.
constexpr size_t kCardNumberBuffer = 30;
constexpr size_t kExpiryBuffer = 6;
constexpr size_t kTerminalIdBuffer = 9;

// The operation that the record type of _card_authorize6 asks for.
TOperation CardOperationOfType(int32_t operationType) {
  switch (operationType) {
    case 1: return TOperation::Payment;
    case 2: return TOperation::Refund;
    case 3: return TOperation::Cancellation;
    default: return TOperation::Other;
  }
}

}  // namespace

TAnswer TCoreLibrary::Answer(const char* entryPoint, TOperation operation, int32_t amountAsked) {
  return NextAnswerFromFolder(folder_, book_, entryPoint, operation, amountAsked);
}

int32_t TCoreLibrary::Logged(TCallLine line, int32_t result) {
  folder_.AppendToCallLog(line.With("result", result).Text());
  return result;
}

int32_t TCoreLibrary::AnswerRecord(const char* entryPoint, TOperation operation,
                                   TCoreAnswer* record, TCallLine line) {
  if (!record) return Logged(line, kResultNullArgument);
  line.With("type", record->operationType).With("amount", record->amount);
  const TAnswer answer = Answer(entryPoint, operation, record->amount);
  FillField(record->responseCode, answer.responseCode);
  FillField(record->message, answer.message);
  record->amount = answer.amount;
  {
    const std::lock_guard<std::mutex> lock(textsMutex_);
    std::string& text = textByEntryPoint_[entryPoint];
    text = answer.text.value_or("");
    record->text = answer.text ? text.c_str() : nullptr;
  }
  return Logged(line, answer.result);
}

int32_t TCoreLibrary::TestPinpad() {
  const TCallLine line("library", "_TestPinpad");
  return Logged(line, Answer("_TestPinpad", TOperation::PinpadTest, 0).result);
}

int32_t TCoreLibrary::ServiceMenu(TCoreAnswer* answer) {
  return AnswerRecord("_ServiceMenu", TOperation::ServiceMenu, answer,
                      TCallLine("library", "_ServiceMenu"));
}

int32_t TCoreLibrary::CloseDay(TCoreAnswer* answer) {
  return AnswerRecord("_close_day", TOperation::Reconciliation, answer,
                      TCallLine("library", "_close_day"));
}

int32_t TCoreLibrary::GetStatistics(TCoreAnswer* answer) {
  return AnswerRecord("_get_statistics", TOperation::Statistics, answer,
                      TCallLine("library", "_get_statistics"));
}

int32_t TCoreLibrary::CardAuthorize6(const void* reserved, TCoreAnswerEx* answer) {
  TCallLine line("library", "_card_authorize6");
  // The first argument is always null from TavoTest; anything else is worth
  // seeing in the log.
  if (reserved) line.With("first", "non-null");
  if (!answer) return Logged(line, kResultNullArgument);
  return AnswerRecord("_card_authorize6", CardOperationOfType(answer->answer.operationType),
                      &answer->answer, line);
}

int32_t TCoreLibrary::ReadCardFull(char* cardNumber, char* expiry) {
  const TCallLine line("library", "_ReadCardFull");
  if (!cardNumber || !expiry) return Logged(line, kResultNullArgument);
  const TAnswer answer = Answer("_ReadCardFull", TOperation::CardRead, 0);
  // A failed read has read no card.
  if (answer.result == 0) {
    CopyTerminated(cardNumber, kCardNumberBuffer, answer.card);
    CopyUpToSize(expiry, kExpiryBuffer, answer.expiry);
  }
  return Logged(line, answer.result);
}

int32_t TCoreLibrary::GetTerminalId(char* terminalId) {
  const TCallLine line("library", "_GetTerminalID");
  if (!terminalId) return Logged(line, kResultNullArgument);
  const TAnswer answer = Answer("_GetTerminalID", TOperation::TerminalId, 0);
  if (answer.result == 0) CopyTerminated(terminalId, kTerminalIdBuffer, answer.terminal);
  return Logged(line, answer.result);
}
