#pragma once
#include <cstdint>
#include <optional>
#include <string>

// What the payment core was asked to do; the default texts depend on it.
enum class TOperation {
  PinpadTest,
  ServiceMenu,
  Reconciliation,
  Payment,
  Refund,
  Cancellation,
  Statistics,
  CardRead,
  TerminalId,
  Other,
};

// The payment core's answer to one call, in the bytes it hands back.
struct TAnswer {
  int32_t result = 0;
  std::string responseCode;         // fills the 3-byte field
  std::string message;              // fills the 16-byte field
  std::optional<std::string> text;  // cheque or report; none hands back a null pointer
  int32_t amount = 0;               // the amount processed
  std::string card;
  std::string expiry;
  std::string terminal;
};
