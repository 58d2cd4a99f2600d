#include <cstring>

#include "core_answer.h"

// A payment core library with some of the real one's exports (no
// _ServiceMenu, _GetTerminalID, _get_statistics or _ReadCardFull), answering fixed values.

extern "C" __declspec(dllimport) int FakeCoreHelperAnswer();

namespace {
const char kCheque[] = "FAKE CHEQUE";
}

extern "C" {

__declspec(dllexport) int32_t __cdecl _TestPinpad() { return FakeCoreHelperAnswer(); }

// Answers "000" and the cheque for a reconciliation, "301" otherwise.
__declspec(dllexport) int32_t __cdecl _close_day(TCoreAnswer* answer) {
  const bool reconciliation = answer->operationType == 7;
  std::memcpy(answer->responseCode, reconciliation ? "000" : "301", 3);
  answer->text = reconciliation ? kCheque : nullptr;
  return 0;
}

// Processes one kopeck less than asked; refuses a reserved pointer.
__declspec(dllexport) int32_t __cdecl _card_authorize6(void* reserved, TCoreAnswerEx* block) {
  if (reserved) return 99;
  block->answer.amount -= 1;
  std::memcpy(block->answer.responseCode, "000", 3);
  return 0;
}
}
