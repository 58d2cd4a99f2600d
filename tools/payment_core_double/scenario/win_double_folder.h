#pragma once
#include <string>

#include "double_folder.h"

// The folder of the DLL that holds `codeAddress`: the double reads and logs
// beside its own file, wherever the caller's current directory is.
class TWinDoubleFolder : public IDoubleFolder {
 public:
  explicit TWinDoubleFolder(const void* codeAddress);

  std::string ReadScenario() override;
  void AppendToCallLog(const std::string& line) override;

 private:
  std::wstring folder_;  // ends in a backslash
};
