#pragma once
#include <windows.h>
#include <unknwn.h>

#include <atomic>

// The class factory of the double's server, handed out by DllGetClassObject.
// Created with one reference; deletes itself when the last one is released.
// COM interfaces have no destructor by design: an object is deleted only by
// its own Release, through its own type.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TDoubleServerFactory final : public IClassFactory {
 public:
  TDoubleServerFactory();
  TDoubleServerFactory(const TDoubleServerFactory&) = delete;
  TDoubleServerFactory& operator=(const TDoubleServerFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  // Only Release deletes.
  ~TDoubleServerFactory();

  std::atomic<ULONG> references_{1};
};
#pragma GCC diagnostic pop
