#include "faults.h"

namespace {

struct TFaultName {
  TFaultKind kind;
  const char* name;
  const char* help;
};

const TFaultName kFaultNames[] = {
    {TFaultKind::WrongSize, "wrong-size", "download body one byte longer than the listed size"},
    {TFaultKind::WrongHash, "wrong-hash", "listing gives a hash that does not match the content"},
    {TFaultKind::Cut, "cut", "download announces its full length, sends half, closes"},
    {TFaultKind::Stall, "stall", "download sends its head and half its body, then nothing"},
    {TFaultKind::NotFound, "not-found", "download answers 404"},
    {TFaultKind::Reset, "reset", "download connection reset before any answer"},
    {TFaultKind::HeaderFlood, "header-flood", "download head of header lines without end, at full speed"},
    {TFaultKind::HeaderDrip, "header-drip", "download head of header lines without end, one every 10 ms"},
    {TFaultKind::ExchangeFail, "exchange-fail", "exchange answers \"success\":false"},
    {TFaultKind::ExchangeBadJson, "exchange-bad-json",
     "exchange answer lacks its opening brace (not a JSON object)"},
    {TFaultKind::ExchangeCut, "exchange-cut", "exchange answer cut like a download"},
    {TFaultKind::ExchangeStall, "exchange-stall", "exchange answer stalls like a download"},
    {TFaultKind::ExchangeReset, "exchange-reset", "exchange connection reset before any answer"},
};

}  // namespace

bool ParseFault(const std::string& text, TFault* fault) {
  const size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  for (const TFaultName& entry : kFaultNames) {
    if (name == entry.name) {
      fault->kind = entry.kind;
      fault->fileName = colon == std::string::npos ? std::string() : text.substr(colon + 1);
      return true;
    }
  }
  return false;
}

std::string FaultHelp() {
  std::string help;
  for (const TFaultName& entry : kFaultNames) {
    help += "    " + std::string(entry.name) + std::string(20 - std::string(entry.name).size(), ' ') +
            entry.help + "\n";
  }
  return help;
}

bool TFaultPlan::Applies(TFaultKind kind, const std::string& fileName) const {
  for (const TFault& fault : faults_) {
    if (fault.kind == kind && (fault.fileName.empty() || fault.fileName == fileName)) return true;
  }
  return false;
}
