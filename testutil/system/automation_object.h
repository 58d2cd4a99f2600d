#pragma once
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A late-bound call that failed: the method's name, the HRESULT it ended
// with, and the object's own description of the failure when it gave one.
// The message is the program's own Russian text around them.
class TAutomationError : public std::runtime_error {
 public:
  TAutomationError(const std::wstring& method, HRESULT code, const std::wstring& description);
  const std::wstring& Method() const { return method_; }
  HRESULT Code() const { return code_; }
  // The whole message as wide text, for the screen; what() holds it in UTF-8.
  const std::wstring& Message() const { return message_; }

 private:
  std::wstring method_;
  HRESULT code_;
  std::wstring message_;
};

// One argument of a late-bound call: a 32-bit integer by value or by
// reference, or a text.
struct TAutomationArgument {
  enum class TKind { Integer, IntegerReference, Text };
  static TAutomationArgument Integer(int32_t value);
  // The object may write the variable; it must outlive the call.
  static TAutomationArgument IntegerReference(int32_t* variable);
  static TAutomationArgument Text(const std::wstring& text);

  TKind kind = TKind::Integer;
  int32_t value = 0;
  int32_t* variable = nullptr;
  std::wstring text;
};

// An automation object created by its ProgID and called by method name, as
// a script would call it. The caller initialises COM on the thread that
// creates and calls the object.
class TAutomationObject {
 public:
  TAutomationObject() = default;
  TAutomationObject(const TAutomationObject&) = delete;
  TAutomationObject& operator=(const TAutomationObject&) = delete;
  ~TAutomationObject() { Release(); }

  // Creates the object, in process or in its own server process; an object
  // held before is released first. False when it cannot be created; nothing
  // is thrown.
  bool Create(const std::wstring& progId);
  // Harmless when no object is held.
  void Release();
  bool IsCreated() const { return object_ != nullptr; }

  // Calls a method (or reads a property) with the arguments in the order
  // written. Every call throws TAutomationError when there is no object, the
  // name is unknown, the call fails or its result does not convert.
  void Call(const std::wstring& method, const std::vector<TAutomationArgument>& arguments = {});
  int32_t CallForInteger(const std::wstring& method,
                         const std::vector<TAutomationArgument>& arguments = {});
  std::wstring CallForText(const std::wstring& method,
                           const std::vector<TAutomationArgument>& arguments = {});

 private:
  IDispatch* object_ = nullptr;
};
