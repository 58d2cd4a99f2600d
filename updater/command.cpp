#include "command.h"

#include <cstdio>

#include "updater_system.h"

namespace {

// The six lowest decimal digits, zero-padded.
std::string SixDigits(uint32_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%06lu", static_cast<unsigned long>(value % 1000000));
  return text;
}

}  // namespace

std::string TerminalSerialNumber(IUpdaterSystem& system) {
  const std::string text = system.GetSerialNumber();
  return text.substr(0, text.find('/'));
}

bool TCommandAbstract::IsForEcr() { return command_.GetDetails().Get("TARGET").AsString("") == "ECR"; }

TJsonValue TCommandAbstract::Execute() {
  TJsonValue reply;
  MakeReply(TResult(RESULT_COMMAND_NOT_IMPLEMENTED), reply);
  return reply;
}

void TCommandAbstract::MakeReply(const TResult& result, TJsonValue& reply) {
  uint32_t date = 0;
  uint32_t time = 0;
  system_.GetDateTime(&date, &time);
  reply.SetString("SN", TerminalSerialNumber(system_));
  reply.SetString("ERR_CODE", std::to_string(static_cast<uint32_t>(result.GetCode())));
  reply.SetString("CMD_ID", command_.GetDetails().Get("CMD_ID").AsString(""));
  reply.SetString("DATE", SixDigits(date));
  reply.SetString("TIME", SixDigits(time));
}
