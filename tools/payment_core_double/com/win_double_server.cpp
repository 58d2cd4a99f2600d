#include "win_double_server.h"

#include <new>

#include "win_automation_values.h"
#include "win_double_folder.h"
#include "win_server_lifetime.h"

namespace {

enum : DISPID { kClear = 1, kSparam, kNFun, kGParamString };

struct TMethod {
  const wchar_t* name;
  DISPID id;
  UINT argumentCount;
};

constexpr TMethod kMethods[] = {
    {L"Clear", kClear, 0},
    {L"Sparam", kSparam, 2},
    {L"NFun", kNFun, 1},
    {L"GParamString", kGParamString, 1},
};

const TMethod* MethodNamed(const wchar_t* name) {
  for (const TMethod& method : kMethods) {
    // Automation names are matched without regard to letter case.
    if (name && _wcsicmp(name, method.name) == 0) return &method;
  }
  return nullptr;
}

const TMethod* MethodWithId(DISPID id) {
  for (const TMethod& method : kMethods) {
    if (method.id == id) return &method;
  }
  return nullptr;
}

// Every object of the process shares one scenario position: a test script's
// sequence goes on across objects, as it would in one payment core.
TAnswerBook& SharedAnswerBook() {
  static TAnswerBook book;
  return book;
}

IDoubleFolder& ServerFolder() {
  static TWinDoubleFolder folder(reinterpret_cast<const void*>(&ServerFolder));
  return folder;
}

}  // namespace

TDoubleServer::TDoubleServer() : session_(ServerFolder(), SharedAnswerBook()) { ServerObjectCreated(); }

TDoubleServer::~TDoubleServer() { ServerObjectDestroyed(); }

HRESULT STDMETHODCALLTYPE TDoubleServer::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TDoubleServer::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE TDoubleServer::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

// The object is called by name only; it describes itself with no type
// information.
HRESULT STDMETHODCALLTYPE TDoubleServer::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TDoubleServer::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE TDoubleServer::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                                       LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids || count == 0) return E_INVALIDARG;
  // The methods take their arguments by position; argument names are unknown.
  const TMethod* method = MethodNamed(names[0]);
  ids[0] = method ? method->id : DISPID_UNKNOWN;
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return method && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE TDoubleServer::Invoke(DISPID id, REFIID iid, LCID, WORD flags,
                                                DISPPARAMS* parameters, VARIANT* result,
                                                EXCEPINFO*, UINT* badArgument) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  // Late-bound callers may ask for a method's value as a property read.
  if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
  const TMethod* method = MethodWithId(id);
  if (!method) return DISP_E_MEMBERNOTFOUND;
  const DISPPARAMS none = {nullptr, nullptr, 0, 0};
  const DISPPARAMS& given = parameters ? *parameters : none;
  if (given.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (given.cArgs != method->argumentCount) return DISP_E_BADPARAMCOUNT;
  if (result) VariantInit(result);
  try {
    return Call(id, given, result, badArgument);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT TDoubleServer::Call(DISPID id, const DISPPARAMS& parameters, VARIANT* result,
                            UINT* badArgument) {
  // Arguments arrive last first: rgvarg[cArgs - 1] is the first one.
  const auto argument = [&](UINT position) -> const VARIANTARG& {
    return parameters.rgvarg[parameters.cArgs - 1 - position];
  };
  const auto mismatch = [&](UINT position) {
    if (badArgument) *badArgument = parameters.cArgs - 1 - position;
    return DISP_E_TYPEMISMATCH;
  };
  std::string name;
  int32_t number = 0;
  switch (id) {
    case kClear:
      session_.Clear();
      return S_OK;
    case kSparam:
      if (FAILED(TextArgument(argument(0), &name))) return mismatch(0);
      if (FAILED(Int32Argument(argument(1), &number))) return mismatch(1);
      session_.Sparam(name, number);
      return S_OK;
    case kNFun:
      if (FAILED(Int32Argument(argument(0), &number))) return mismatch(0);
      number = session_.NFun(number);
      if (result) {
        result->vt = VT_I4;
        result->lVal = number;
      }
      return S_OK;
    case kGParamString: {
      if (FAILED(TextArgument(argument(0), &name))) return mismatch(0);
      const std::string text = session_.GParamString(name);
      if (!result) return S_OK;
      result->bstrVal = BstrFromAnsi(text);
      if (!result->bstrVal) return E_OUTOFMEMORY;
      result->vt = VT_BSTR;
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}
