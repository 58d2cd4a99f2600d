#pragma once
#include <string>
#include <vector>

// Ways the server misbehaves on purpose, each provoking one client error.
enum class TFaultKind {
  WrongSize,      // a download body one byte longer than the listing says
  WrongHash,      // the listing gives a hash the served content does not have
  Cut,            // a download announces its length, sends half, closes
  Stall,          // a download sends its head and half its body, then waits
  NotFound,       // a download answers 404
  Reset,          // a download's connection is reset before any answer
  HeaderFlood,    // a download's head: header lines without end, as fast as they go
  HeaderDrip,     // a download's head: a short header line every 10 ms, without end
  ExchangeFail,   // the exchange answers "success":false
  ExchangeBadJson,  // the exchange answer is not a JSON object
  ExchangeCut,
  ExchangeStall,
  ExchangeReset,
};

struct TFault {
  TFaultKind kind;
  std::string fileName;  // empty: every file; unused by the exchange faults
};

// "kind" or "kind:file name"; false for an unknown kind.
bool ParseFault(const std::string& text, TFault* fault);

// One line per kind for the usage text.
std::string FaultHelp();

class TFaultPlan {
 public:
  void Add(const TFault& fault) { faults_.push_back(fault); }
  // Whether `kind` is planned for the file `fileName` (or for the exchange).
  bool Applies(TFaultKind kind, const std::string& fileName = std::string()) const;

 private:
  std::vector<TFault> faults_;
};
