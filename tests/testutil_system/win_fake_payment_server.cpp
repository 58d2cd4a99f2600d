#include "fake_payment_server.h"

#include <oleauto.h>

namespace {

// {0C52B71B-EA7A-44FC-8F0D-314CB71CBBAD}
const CLSID kClassId = {0x0c52b71b, 0xea7a, 0x44fc, {0x8f, 0x0d, 0x31, 0x4c, 0xb7, 0x1c, 0xbb, 0xad}};
const wchar_t kClassIdText[] = L"{0C52B71B-EA7A-44FC-8F0D-314CB71CBBAD}";

const wchar_t* const kMethods[] = {L"Clear", L"Sparam", L"NFun", L"GParamString"};
constexpr DISPID kFailingFunction = 99;

// COM objects end in their own Release, never through a pointer to their
// interface, whose destructor is not virtual by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"

class TServerObject : public IDispatch {
 public:
  explicit TServerObject(TFakePaymentServer& server) : server_(server) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (id == IID_IUnknown || id == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (count != 1) return E_INVALIDARG;
    for (DISPID id = 0; id < 4; ++id) {
      if (lstrcmpiW(names[0], kMethods[id]) == 0) {
        ids[0] = id;
        return S_OK;
      }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* failure, UINT*) override {
    if (id < 0 || id > 3) return DISP_E_MEMBERNOTFOUND;
    TFakePaymentServer::TCall call;
    call.method = kMethods[id];
    for (UINT i = parameters->cArgs; i-- > 0;) {
      const VARIANT& argument = parameters->rgvarg[i];
      call.types.push_back(argument.vt);
      if (argument.vt == VT_BSTR) call.text = argument.bstrVal;
      if (argument.vt == VT_I4) call.integer = argument.lVal;
      if (argument.vt == (VT_I4 | VT_BYREF)) call.integer = *argument.plVal;
    }
    server_.calls.push_back(call);
    if (call.method == L"NFun") {
      if (call.integer == kFailingFunction) {
        failure->scode = E_FAIL;
        failure->bstrDescription = SysAllocString(L"no such function");
        return DISP_E_EXCEPTION;
      }
      // A short integer, as servers often answer; the client widens it.
      result->vt = VT_I2;
      result->iVal = server_.results[call.integer];
    } else if (call.method == L"GParamString") {
      const auto found = server_.parameters.find(call.text);
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(found == server_.parameters.end() ? L"" : found->second.c_str());
    }
    return S_OK;
  }

 private:
  TFakePaymentServer& server_;
  ULONG references_ = 1;
};

class TServerFactory : public IClassFactory {
 public:
  explicit TServerFactory(TFakePaymentServer& server) : server_(server) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (id == IID_IUnknown || id == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID id, void** object) override {
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    TServerObject* created = new TServerObject(server_);
    const HRESULT result = created->QueryInterface(id, object);
    created->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  TFakePaymentServer& server_;
  ULONG references_ = 1;
};

#pragma GCC diagnostic pop

const std::wstring ProgIdKey() { return std::wstring(TFakePaymentServer::kProgId) + L"\\CLSID"; }

}  // namespace

TFakePaymentServer::TFakePaymentServer() : factory_(new TServerFactory(*this)) {
  // The ProgID goes where the system looks classes up; the class object is
  // served from this process, where COM looks first.
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, ProgIdKey().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  const LONG written = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kClassIdText),
                                      sizeof kClassIdText);
  RegCloseKey(key);
  registered_ = written == ERROR_SUCCESS &&
                SUCCEEDED(CoRegisterClassObject(kClassId, factory_, CLSCTX_LOCAL_SERVER,
                                                REGCLS_MULTIPLEUSE, &cookie_));
}

TFakePaymentServer::~TFakePaymentServer() {
  if (cookie_) CoRevokeClassObject(cookie_);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, ProgIdKey().c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, kProgId);
  factory_->Release();
}
