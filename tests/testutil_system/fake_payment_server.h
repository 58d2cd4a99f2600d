#pragma once
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>
#include <vector>

// The payment core's automation server as far as TavoTest calls it, living
// in the test program: registered under a ProgID of its own while an object
// of this class exists, so that TComServer creates it as it creates the
// real server. It notes every call with the types of its arguments.
class TFakePaymentServer {
 public:
  static constexpr const wchar_t* kProgId = L"Tavo.TestPaymentServer";

  struct TCall {
    std::wstring method;
    std::vector<VARTYPE> types;  // in the order written
    std::wstring text;           // the text argument, if any
    long integer = 0;            // the integer argument, if any
  };

  // What the server answers: NFun's result for a function (0 if not listed,
  // a failure raised for function 99), and GParamString's texts.
  std::map<long, short> results;
  std::map<std::wstring, std::wstring> parameters;
  std::vector<TCall> calls;

  // COM must be initialised before and left after.
  TFakePaymentServer();
  TFakePaymentServer(const TFakePaymentServer&) = delete;
  TFakePaymentServer& operator=(const TFakePaymentServer&) = delete;
  ~TFakePaymentServer();
  bool Registered() const { return registered_; }

 private:
  IClassFactory* factory_ = nullptr;
  DWORD cookie_ = 0;
  bool registered_ = false;
};
