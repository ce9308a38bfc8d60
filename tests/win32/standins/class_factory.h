// A class object whose instances a function of the test's makes: for a class id served by a
// stand-in, in its own program or in the test's process.
#pragma once

#include <functional>
#include <utility>

#include "platform/win32/com_object.h"

class CFunctionClassFactory : public TComObject<IClassFactory> {
 public:
  // Makes an instance and hands out its interface `iid`.
  using Create = std::function<HRESULT(REFIID iid, void** out)>;
  explicit CFunctionClassFactory(Create create) : m_create(std::move(create)) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    return outer != nullptr ? CLASS_E_NOAGGREGATION : m_create(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  void* InterfaceFor(REFIID iid) override {
    return IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)
               ? static_cast<IClassFactory*>(this)
               : nullptr;
  }

  Create m_create;
};
