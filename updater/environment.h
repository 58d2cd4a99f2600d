#pragma once
#include <cstdint>
#include <string>

#include "files/ini_file.h"

class IFileSystem;

// What the update client asks of the installation it runs in.
class ITerminalEnvironment {
 public:
  virtual std::string GetHostUrl() = 0;
  virtual std::string GetTargetName() = 0;
  virtual void SetReserved2(uint32_t value) = 0;
  virtual int32_t GetReserved3() = 0;
  virtual void SetReserved4(uint32_t value) = 0;
  virtual std::string GetChequeFileName() = 0;
  // Called when a check-files command has finished with its directory.
  virtual void OnFilesUpdated() = 0;
  // "CONFIG.INI"; stays owned by the environment.
  virtual const TIniFile& GetConfig() = 0;

 protected:
  // The environment is a process-wide object, never deleted by its users.
  ~ITerminalEnvironment() = default;
};

// The payment core's installation: "CONFIG.INI" read once, "PROFILE.INI"
// read afresh whenever the server path is asked for.
class TCorvoEnvironment final : public ITerminalEnvironment {
 public:
  // Both files are read from that directory (not owned).
  explicit TCorvoEnvironment(IFileSystem* files);
  // An environment over configuration text at hand instead of the file;
  // "PROFILE.INI" is read from the platform's application directory.
  explicit TCorvoEnvironment(const TByteBuffer& configText);

  std::string GetHostUrl() override;
  std::string GetTargetName() override { return "ECR"; }
  void SetReserved2(uint32_t) override {}
  int32_t GetReserved3() override { return 30000; }
  void SetReserved4(uint32_t) override {}
  std::string GetChequeFileName() override { return "cheque.txt"; }
  void OnFilesUpdated() override {}
  const TIniFile& GetConfig() override { return config_; }

  // "/" and the name of the server path: "URL" of "PROFILE.INI", else "URL"
  // of "CONFIG.INI", else "block1".
  std::string GetServerPath();

 private:
  IFileSystem* files_;
  TIniFile config_;
};

// The process's environment, made (and "CONFIG.INI" read) on first use.
TCorvoEnvironment* GetTerminalEnvironment();

// A configuration value without the blanks and tabs that editors leave at
// the end of a line.
std::string TrimTrailingBlanks(std::string text);
