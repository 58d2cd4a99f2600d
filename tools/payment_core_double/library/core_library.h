#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "answer_book.h"
#include "call_line.h"
#include "core_answer.h"
#include "double_folder.h"

// What an entry point answers when the caller hands it a null record or
// buffer: nothing is written, and the call is logged like any other.
constexpr int32_t kResultNullArgument = 3;

// The payment core library behind the exports of corvo_nt.dll. Every call
// reads the scenario afresh (section = the entry point's name), fills the
// caller's record from the answer and appends a line to the call log.
// A text handed out stays valid until the same entry point is called again.
class TCoreLibrary {
 public:
  explicit TCoreLibrary(IDoubleFolder& folder) : folder_(folder) {}

  int32_t TestPinpad();
  int32_t ServiceMenu(TCoreAnswer* answer);
  int32_t CloseDay(TCoreAnswer* answer);
  int32_t CardAuthorize6(const void* reserved, TCoreAnswerEx* answer);
  int32_t GetTerminalId(char* terminalId);
  int32_t GetStatistics(TCoreAnswer* answer);
  int32_t ReadCardFull(char* cardNumber, char* expiry);

 private:
  TAnswer Answer(const char* entryPoint, TOperation operation, int32_t amountAsked);
  // Answers a call that fills a TCoreAnswer: response code, message,
  // amount and text pointer.
  int32_t AnswerRecord(const char* entryPoint, TOperation operation, TCoreAnswer* record,
                       TCallLine line);
  int32_t Logged(TCallLine line, int32_t result);

  IDoubleFolder& folder_;
  TAnswerBook book_;
  std::mutex textsMutex_;
  std::map<std::string, std::string> textByEntryPoint_;
};
