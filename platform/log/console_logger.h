#pragma once

// The agent's console logger: the agent writes its console messages itself,
// so the logger's operations have nothing to do.
class ILoggerToConsole {
 public:
  virtual void Write(const char*, const char*) = 0;
  virtual void WriteLine(const char*, const char*) = 0;
  virtual void WriteData(const void*, unsigned) = 0;
  virtual void Flush() = 0;
  virtual ~ILoggerToConsole() = default;
};

class TLoggerToConsoleDummy : public ILoggerToConsole {
 public:
  void Write(const char*, const char*) override {}
  void WriteLine(const char*, const char*) override {}
  void WriteData(const void*, unsigned) override {}
  void Flush() override {}
};
