#pragma once
#include <cstdint>
#include <string>

#include "automation_object.h"

// The payment core's automation server as TavoTest calls it. Every call
// throws TAutomationError when it fails: a failing call is an unexpected
// error that ends the operation, not a result to report.
class TComServer {
 public:
  static constexpr const wchar_t* kProgId = L"DLFXSRV.Server";

  // False when the server is not registered or does not start.
  bool Create(const std::wstring& progId = kProgId) { return object_.Create(progId); }
  // Harmless when no server object is held.
  void Release() { object_.Release(); }
  bool IsCreated() const { return object_.IsCreated(); }

  // Forgets the parameters of the previous function.
  void Clear();
  // Sets an integer parameter of the next function. The server takes it by
  // reference, as its own clients pass it.
  void Sparam(const std::wstring& name, int32_t value);
  // Runs a function of the payment core; 0 is success, else a result code.
  int32_t NFun(int32_t function);
  // A parameter that the last function left, as text and as an integer.
  std::wstring GParamString(const std::wstring& name);
  int32_t GParamInt(const std::wstring& name);

 private:
  TAutomationObject object_;
};
