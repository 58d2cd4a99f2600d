#pragma once
#include <cstdint>
#include <string>

#include "json_value.h"
#include "system/result.h"

class IUpdaterSystem;

enum : int32_t {
  RESULT_COMMAND_NOT_IMPLEMENTED = 2010,
};

// A command of the update server, kept as its JSON object, that the client
// carries out and answers with a reply object. The reply's serial number,
// date and time come from the system (not owned).
class TCommandAbstract {
 public:
  TCommandAbstract(const TJsonValue& command, IUpdaterSystem& system) : command_(command), system_(system) {}

  virtual uint32_t GetTimeout() { return 0; }
  virtual TJsonValue GetCommand() { return command_; }
  virtual ~TCommandAbstract() = default;
  virtual bool IsForEcr();
  virtual TJsonValue Execute();
  virtual int32_t Reserved5() { return 0; }
  virtual bool Reserved6() { return true; }
  virtual bool Reserved7() { return false; }
  virtual bool Reserved8() { return true; }
  virtual bool Reserved9() { return false; }
  virtual bool Reserved10() { return false; }

  // Fills reply with the terminal's serial number, the result code, the
  // command's id and the local date and time.
  void MakeReply(const TResult& result, TJsonValue& reply);

 protected:
  TJsonValue command_;
  IUpdaterSystem& system_;
};

// The system's serial number up to its first '/'.
std::string TerminalSerialNumber(IUpdaterSystem& system);
