#pragma once
#include <windows.h>
#include <oaidl.h>

#include <atomic>

#include "automation_session.h"

// The automation object behind "DLFXSRV.Server": IDispatch only, called by
// name (GetIDsOfNames, then Invoke) with the methods Clear, Sparam, NFun and
// GParamString of TAutomationSession. Created with one reference; deletes
// itself when the last one is released.
// COM interfaces have no destructor by design: an object is deleted only by
// its own Release, through its own type.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TDoubleServer final : public IDispatch {
 public:
  TDoubleServer();
  TDoubleServer(const TDoubleServer&) = delete;
  TDoubleServer& operator=(const TDoubleServer&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* badArgument) override;

 private:
  // Only Release deletes.
  ~TDoubleServer();

  HRESULT Call(DISPID id, const DISPPARAMS& parameters, VARIANT* result, UINT* badArgument);

  std::atomic<ULONG> references_{1};
  TAutomationSession session_;
};
#pragma GCC diagnostic pop
