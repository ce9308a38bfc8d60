// The IUnknown of the add-in's own heap COM objects: a single-apartment reference count, the
// object deleting itself at 0 (so it is made with new and handed out through QueryInterface),
// and a QueryInterface over the interfaces the object names.
//
//   class CThing : public TComObject<IServiceProvider, IOleWindow> {
//     void* InterfaceFor(REFIID iid) override;  // `this` as that interface, or null
//   };
//   TComPtr<CThing> thing(new CThing);  // the holder takes the first reference
#pragma once

#include <unknwn.h>

template <typename... Interfaces>
class TComObject : public Interfaces... {
 public:
  TComObject() = default;
  TComObject(const TComObject&) = delete;
  TComObject& operator=(const TComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = InterfaceFor(iid);
    if (*out == nullptr) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nReferences; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --m_nReferences;
    if (left == 0) {
      delete this;
    }
    return left;
  }

 protected:
  virtual ~TComObject() = default;
  // `this` cast to the interface `iid` names, IUnknown included; null for any other.
  virtual void* InterfaceFor(REFIID iid) = 0;

 private:
  ULONG m_nReferences = 0;
};
