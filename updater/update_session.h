#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "files/file_system.h"
#include "http/http_client.h"
#include "json_value.h"
#include "updater_context.h"

enum : int32_t {
  RESULT_ANSWER_NOT_OBJECT = 27012,
  RESULT_ANSWER_NOT_SUCCESS = 27013,
  RESULT_ANSWER_NO_COMMANDS = 27014,
  RESULT_LIBRARY_FOLDER_UNUSABLE = 31003,
  RESULT_NO_KNOWN_COMMAND = 44001,
  RESULT_REPLY_WITHOUT_CODE = 44002,
  RESULT_SPECIAL_FILE_UPDATED = 44003,
  RESULT_INSTALLATION_BUSY = 44004,
};

// One update run: report the installation to the server, carry out what it
// answers, and tell the caller how it went. Everything beyond its own
// objects comes from the context it is given.
class TUpdateSession {
 public:
  TUpdateSession(const TUpdaterContext& context, std::string serialNumber, std::string model);
  // The same in the process's own context.
  TUpdateSession(std::string serialNumber, std::string model);
  ~TUpdateSession();
  TUpdateSession(const TUpdateSession&) = delete;
  TUpdateSession& operator=(const TUpdateSession&) = delete;

  // How long a run waits for another one, of any process, to leave the
  // installation.
  static constexpr uint32_t kInstallationWait = 30000;

  int32_t Run();

  // The report of the installation, as JSON text.
  std::string BuildRequest();
  // Judges the server's answer and runs its commands in order.
  int32_t HandleReply(const std::string& answer);
  // Carries out one "CHECK_FILES" command; its "ERR_CODE".
  int32_t RunCommand(const TJsonValue& command);

  bool SpecialFileFlag() const { return specialFile_; }

 private:
  // Whether the work files of both folders have paths that fit.
  bool WorkFilesFit();
  // Removes the work files that a run stopped half-way left behind.
  void RemoveLeftovers();
  // Turns the socket trace files on exactly when "CONFIG.INI" asks for them.
  void ApplyEthernetTrace();
  // The roots an https server's certificate must chain to: those of
  // CONFIG.INI's CAFile beside the library when it is set. False when it is set
  // but cannot be named.
  bool ApplyTrust();
  // The update directory, or the library's own when it could not be had.
  IFileSystem* UpdateFiles();
  // The folder a CHECK_FILES command brings up to date.
  IFileSystem* TargetFiles(const TJsonValue& command);
  // Once every command has run: a part kept of a file that no command
  // lists for its folder any more is of no use.
  void DropUnlistedParts(TJsonValue commands);

  TUpdaterContext context_;
  std::string serialNumber_;
  std::string model_;
  std::unique_ptr<IFileSystem> updateFiles_;
  bool specialFile_ = false;
  THttpClient client_;
};
