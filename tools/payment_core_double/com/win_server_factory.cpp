#include "win_server_factory.h"

#include <new>

#include "win_double_server.h"
#include "win_server_lifetime.h"

TDoubleServerFactory::TDoubleServerFactory() { ServerObjectCreated(); }

TDoubleServerFactory::~TDoubleServerFactory() { ServerObjectDestroyed(); }

HRESULT STDMETHODCALLTYPE TDoubleServerFactory::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TDoubleServerFactory::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE TDoubleServerFactory::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE TDoubleServerFactory::CreateInstance(IUnknown* outer, REFIID iid,
                                                               void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* server = new (std::nothrow) TDoubleServer;
  if (!server) return E_OUTOFMEMORY;
  // The caller's reference comes from QueryInterface; the creation
  // reference goes, so an interface the object lacks deletes it.
  const HRESULT result = server->QueryInterface(iid, object);
  server->Release();
  return result;
}

HRESULT STDMETHODCALLTYPE TDoubleServerFactory::LockServer(BOOL lock) {
  ServerLocked(lock != FALSE);
  return S_OK;
}
