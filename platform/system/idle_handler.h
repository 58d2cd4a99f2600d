#pragma once

// A link in the chain of idle callbacks that waiting loops run once per turn.
class IIdleHandler {
 public:
  virtual void OnIdle() = 0;
  virtual ~IIdleHandler() = default;

  // Runs this handler, then the rest of the chain; a handler that is already
  // running (a nested waiting loop) is skipped.
  void Run();

  IIdleHandler* next = nullptr;

 private:
  bool busy_ = false;
};
