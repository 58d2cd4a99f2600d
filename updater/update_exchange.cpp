#include <cstdio>

#include "check_files_command.h"
#include "environment.h"
#include "file_list.h"
#include "partial_download.h"
#include "update_session.h"
#include "updater_system.h"

namespace {

std::string InstallationHash(IFileSystem* files) {
  TFileList list(files);
  return list.CombinedHash().ToHex();
}

std::string ClientVersion() {
  char text[16];
  std::snprintf(text, sizeof text, "%02d.%02d.%02d", 30, 24, 2);
  return text;
}

// Whether a member holds anything: containers and strings need more than
// their brackets or quotes.
bool HasContent(const TJsonValue& value) {
  switch (value.Kind()) {
    case JSON_STRING:
    case JSON_OBJECT:
    case JSON_ARRAY:
      return value.Text().Length() >= 3;
    default:
      return !value.Text().Empty();
  }
}

// "ECR" commands update the library's own folder.
bool IsForTheLibrary(const TJsonValue& command) { return command.GetDetails().Get("TARGET").AsString("") == "ECR"; }

bool Contains(const TByteBuffer& text, const std::string& word) {
  return text.ToString().find(word) != std::string::npos;
}

}  // namespace

std::string TUpdateSession::BuildRequest() {
  IUpdaterSystem& system = *context_.system;

  TJsonValue report;
  report.SetString("SN", serialNumber_);
  report.SetString("SN_OLD", serialNumber_);
  report.SetString("MODEL_T", model_);
  report.SetString("KCV_KLK", "000000");
  report.SetString("CONF_HASH", InstallationHash(UpdateFiles()));
  report.SetString("MODEL_A", system.GetModel());
  report.SetString("ECR_HASH", InstallationHash(system.GetAppFileSystem()));
  report.SetString("VERSION_A", ClientVersion());

  TJsonValue replies;
  replies.Set("", report);
  TJsonValue request;
  request.Set("REPLIES", replies);
  return request.Text().ToString();
}

int32_t TUpdateSession::HandleReply(const std::string& answer) {
  const TJsonValue reply(answer);
  if (reply.Kind() != JSON_OBJECT) return RESULT_ANSWER_NOT_OBJECT;
  const TJsonValue success = reply.Get("success");
  if (success.Kind() != JSON_BOOLEAN || success.Text().ToString().compare(0, 4, "true") != 0) {
    return RESULT_ANSWER_NOT_SUCCESS;
  }
  TJsonValue commands = reply.Get("body").Get("COMMANDS");
  if (!HasContent(commands)) return RESULT_ANSWER_NO_COMMANDS;

  int32_t result = RESULT_NO_KNOWN_COMMAND;
  commands.SetCursor(0);
  TJsonValue command;
  while ((result == 0 || result == RESULT_NO_KNOWN_COMMAND) && commands.Next(&command)) {
    if (command.Get("CMD").AsString("") == "CHECK_FILES") result = RunCommand(command);
  }
  if (result == 0 || result == RESULT_NO_KNOWN_COMMAND) DropUnlistedParts(commands);
  return result;
}

IFileSystem* TUpdateSession::TargetFiles(const TJsonValue& command) {
  return IsForTheLibrary(command) ? context_.system->GetAppFileSystem() : UpdateFiles();
}

void TUpdateSession::DropUnlistedParts(TJsonValue commands) {
  for (IFileSystem* folder : {context_.system->GetAppFileSystem(), UpdateFiles()}) {
    TPartialDownload partial(*folder, TCommandCheckFiles::kWorkFile);
    const std::string partName = partial.PartName();
    if (partName.empty()) continue;
    bool listed = false;
    commands.SetCursor(0);
    TJsonValue command;
    while (!listed && commands.Next(&command)) {
      if (command.Get("CMD").AsString("") != "CHECK_FILES" || TargetFiles(command) != folder) continue;
      TJsonValue files = command.GetDetails().Get("FILES");
      files.SetCursor(0);
      TJsonValue file;
      while (!listed && files.Next(&file)) listed = file.Get("FILE_NAME").AsString("") == partName;
    }
    if (!listed) partial.DiscardPart();
  }
}

int32_t TUpdateSession::RunCommand(const TJsonValue& original) {
  TJsonValue command = original;
  std::string sn = serialNumber_;
  if (IsForTheLibrary(command)) {
    sn += "&ECR=1";
  } else if (Contains(command.GetDetails().Text(), "PFLS.BAK")) {
    specialFile_ = true;
  }
  IFileSystem* target = TargetFiles(command);
  command.SetDetail("HOST_URL", context_.terminal->GetHostUrl());
  command.SetDetail("SN", sn);

  TCommandCheckFiles checkFiles(context_, command, &client_, std::string(), target);
  return checkFiles.Execute().Get("ERR_CODE").AsInteger(RESULT_REPLY_WITHOUT_CODE);
}
