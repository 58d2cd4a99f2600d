#include "com_server.h"

void TComServer::Clear() { object_.Call(L"Clear"); }

void TComServer::Sparam(const std::wstring& name, int32_t value) {
  object_.Call(L"Sparam", {TAutomationArgument::Text(name),
                           TAutomationArgument::IntegerReference(&value)});
}

int32_t TComServer::NFun(int32_t function) {
  return object_.CallForInteger(L"NFun", {TAutomationArgument::Integer(function)});
}

std::wstring TComServer::GParamString(const std::wstring& name) {
  return object_.CallForText(L"GParamString", {TAutomationArgument::Text(name)});
}

int32_t TComServer::GParamInt(const std::wstring& name) {
  return object_.CallForInteger(L"GParamString", {TAutomationArgument::Text(name)});
}
