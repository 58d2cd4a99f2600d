#include "automation_object.h"

#include <oleauto.h>

#include <cwchar>

namespace {

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                      nullptr, nullptr);
  return result;
}

std::wstring HexCode(HRESULT code) {
  wchar_t text[16];
  std::swprintf(text, sizeof text / sizeof text[0], L"0x%08lX", static_cast<unsigned long>(code));
  return text;
}

std::wstring ComposeMessage(const std::wstring& method, HRESULT code,
                            const std::wstring& description) {
  std::wstring message = L"Ошибка вызова " + method + L" через COM (код " + HexCode(code) + L")";
  if (!description.empty()) message += L": " + description;
  return message;
}

// The variants of one call; each is cleared when the call is over, which
// frees the texts handed to the object and whatever it handed back.
class TVariants {
 public:
  explicit TVariants(size_t count) : items_(count) {
    for (VARIANT& item : items_) VariantInit(&item);
  }
  TVariants(const TVariants&) = delete;
  TVariants& operator=(const TVariants&) = delete;
  ~TVariants() {
    for (VARIANT& item : items_) VariantClear(&item);
  }
  VARIANT* Data() { return items_.data(); }
  VARIANT& operator[](size_t index) { return items_[index]; }

 private:
  std::vector<VARIANT> items_;
};

// What the object said about a failure it raised, and the strings of the
// record freed.
std::wstring TakeDescription(EXCEPINFO& failure) {
  if (failure.pfnDeferredFillIn) failure.pfnDeferredFillIn(&failure);
  std::wstring description;
  if (failure.bstrDescription) {
    description.assign(failure.bstrDescription, SysStringLen(failure.bstrDescription));
  }
  if (failure.scode) {
    if (!description.empty()) description += L' ';
    description += L"(" + HexCode(failure.scode) + L")";
  }
  SysFreeString(failure.bstrSource);
  SysFreeString(failure.bstrDescription);
  SysFreeString(failure.bstrHelpFile);
  return description;
}

// Calls method on object and leaves its result in result, converted to type
// unless that is VT_EMPTY.
void Invoke(IDispatch* object, const std::wstring& method,
            const std::vector<TAutomationArgument>& arguments, VARTYPE type, VARIANT* result) {
  if (!object) throw TAutomationError(method, E_POINTER, L"объект COM-сервера не создан");
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR name = const_cast<LPOLESTR>(method.c_str());
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) throw TAutomationError(method, hr, L"у объекта нет такого метода");

  // The object reads its arguments from last to first. Integers passed by
  // reference go through variables of the size the object writes.
  const size_t count = arguments.size();
  TVariants values(count);
  std::vector<LONG> referenced(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const TAutomationArgument& argument = arguments[i];
    VARIANT& value = values[count - 1 - i];
    switch (argument.kind) {
      case TAutomationArgument::TKind::Integer:
        value.vt = VT_I4;
        value.lVal = argument.value;
        break;
      case TAutomationArgument::TKind::IntegerReference:
        referenced[i] = *argument.variable;
        value.vt = VT_I4 | VT_BYREF;
        value.plVal = &referenced[i];
        break;
      case TAutomationArgument::TKind::Text:
        value.vt = VT_BSTR;
        value.bstrVal =
            SysAllocStringLen(argument.text.data(), static_cast<UINT>(argument.text.size()));
        if (!value.bstrVal) throw TAutomationError(method, E_OUTOFMEMORY, L"не хватает памяти");
        break;
    }
  }
  DISPPARAMS parameters = {values.Data(), nullptr, static_cast<UINT>(count), 0};
  EXCEPINFO failure = {};
  UINT wrongArgument = 0;
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                      &parameters, result, &failure, &wrongArgument);
  if (FAILED(hr)) {
    throw TAutomationError(method, hr, hr == DISP_E_EXCEPTION ? TakeDescription(failure)
                                                               : std::wstring());
  }
  for (size_t i = 0; i < count; ++i) {
    if (arguments[i].kind == TAutomationArgument::TKind::IntegerReference) {
      *arguments[i].variable = referenced[i];
    }
  }
  if (type == VT_EMPTY) return;
  hr = VariantChangeType(result, result, 0, type);
  if (FAILED(hr)) {
    throw TAutomationError(method, hr,
                           type == VT_I4 ? L"ответ не является числом" : L"ответ не является текстом");
  }
}

}  // namespace

TAutomationError::TAutomationError(const std::wstring& method, HRESULT code,
                                   const std::wstring& description)
    : std::runtime_error(ToUtf8(ComposeMessage(method, code, description))),
      method_(method),
      code_(code),
      message_(ComposeMessage(method, code, description)) {}

TAutomationArgument TAutomationArgument::Integer(int32_t value) {
  TAutomationArgument argument;
  argument.kind = TKind::Integer;
  argument.value = value;
  return argument;
}

TAutomationArgument TAutomationArgument::IntegerReference(int32_t* variable) {
  TAutomationArgument argument;
  argument.kind = TKind::IntegerReference;
  argument.variable = variable;
  return argument;
}

TAutomationArgument TAutomationArgument::Text(const std::wstring& text) {
  TAutomationArgument argument;
  argument.kind = TKind::Text;
  argument.text = text;
  return argument;
}

bool TAutomationObject::Create(const std::wstring& progId) {
  Release();
  CLSID id;
  if (FAILED(CLSIDFromProgID(progId.c_str(), &id))) return false;
  void* object = nullptr;
  if (FAILED(CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              &object))) {
    return false;
  }
  object_ = static_cast<IDispatch*>(object);
  return true;
}

void TAutomationObject::Release() {
  if (object_) object_->Release();
  object_ = nullptr;
}

void TAutomationObject::Call(const std::wstring& method,
                             const std::vector<TAutomationArgument>& arguments) {
  TVariants result(1);
  Invoke(object_, method, arguments, VT_EMPTY, &result[0]);
}

int32_t TAutomationObject::CallForInteger(const std::wstring& method,
                                          const std::vector<TAutomationArgument>& arguments) {
  TVariants result(1);
  Invoke(object_, method, arguments, VT_I4, &result[0]);
  return result[0].lVal;
}

std::wstring TAutomationObject::CallForText(const std::wstring& method,
                                            const std::vector<TAutomationArgument>& arguments) {
  TVariants result(1);
  Invoke(object_, method, arguments, VT_BSTR, &result[0]);
  const BSTR text = result[0].bstrVal;
  return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}
