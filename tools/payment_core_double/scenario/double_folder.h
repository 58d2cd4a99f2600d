#pragma once
#include <string>

// The folder the double's DLLs lie in: where a test puts the scenario and
// finds the log of the calls made.
class IDoubleFolder {
 public:
  virtual ~IDoubleFolder() = default;

  // The bytes of "scenario.ini", empty when there is none.
  virtual std::string ReadScenario() = 0;

  // Appends one line, with CR LF, to "calls.log".
  virtual void AppendToCallLog(const std::string& line) = 0;
};
