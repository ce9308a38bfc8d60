// RAII holders for what the Windows adapters receive from the system: interface pointers,
// BSTRs, VARIANTs and handles of every kind. Each owns exactly one reference or handle,
// releases it when replaced or destroyed, and cannot be copied by accident.
//
// Vocabulary: Get() reads, Receive() gives the address for an out-parameter (releasing what
// was held), Detach() hands ownership out, Reset() releases.
#pragma once

#include <windows.h>
// After windows.h, whose types they need.
#include <oaidl.h>
#include <oleauto.h>
#include <unknwn.h>
#include <wininet.h>

#include <new>
#include <string>
#include <utility>

#include "platform/win32/com_object.h"

// An interface pointer holding one reference.
template <typename T>
class TComPtr {
 public:
  TComPtr() = default;
  explicit TComPtr(T* pointer) : m_p(pointer) {  // adds a reference
    if (m_p != nullptr) {
      m_p->AddRef();
    }
  }
  TComPtr(const TComPtr& other) : TComPtr(other.m_p) {}
  TComPtr(TComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  TComPtr& operator=(TComPtr other) noexcept {
    std::swap(m_p, other.m_p);
    return *this;
  }
  ~TComPtr() { Reset(); }

  // Takes over a reference the caller already owns.
  static TComPtr Adopt(T* pointer) {
    TComPtr held;
    held.m_p = pointer;
    return held;
  }

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  T** Receive() {
    Reset();
    return &m_p;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  T* Detach() { return std::exchange(m_p, nullptr); }
  void Reset() {
    if (T* old = std::exchange(m_p, nullptr)) {
      old->Release();
    }
  }

  // QueryInterface into another holder.
  template <typename U>
  HRESULT As(const IID& iid, TComPtr<U>* out) const {
    if (m_p == nullptr) {
      return E_POINTER;
    }
    return m_p->QueryInterface(iid, out->ReceiveVoid());
  }

 private:
  T* m_p = nullptr;
};

// A BSTR owned by this object.
class CBstr {
 public:
  CBstr() = default;
  explicit CBstr(const std::wstring& text)
      : m_bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (m_bstr == nullptr) {
      throw std::bad_alloc();
    }
  }
  CBstr(const CBstr&) = delete;
  CBstr& operator=(const CBstr&) = delete;
  CBstr(CBstr&& other) noexcept : m_bstr(std::exchange(other.m_bstr, nullptr)) {}
  CBstr& operator=(CBstr&& other) noexcept {
    Reset();
    m_bstr = std::exchange(other.m_bstr, nullptr);
    return *this;
  }
  ~CBstr() { Reset(); }

  BSTR Get() const { return m_bstr; }
  BSTR* Receive() {
    Reset();
    return &m_bstr;
  }
  BSTR Detach() { return std::exchange(m_bstr, nullptr); }
  void Reset() {
    if (BSTR old = std::exchange(m_bstr, nullptr)) {
      SysFreeString(old);
    }
  }
  // The text with its real length (a BSTR may hold NULs).
  std::wstring Text() const {
    return m_bstr == nullptr ? std::wstring() : std::wstring(m_bstr, SysStringLen(m_bstr));
  }

 private:
  BSTR m_bstr = nullptr;
};

// A VARIANT cleared when replaced or destroyed.
class CVariant {
 public:
  CVariant() { VariantInit(&m_v); }
  explicit CVariant(bool value) : CVariant() {
    m_v.vt = VT_BOOL;
    m_v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  }
  explicit CVariant(const std::wstring& text) : CVariant() {
    CBstr bstr(text);
    m_v.vt = VT_BSTR;
    m_v.bstrVal = bstr.Detach();
  }
  CVariant(const CVariant&) = delete;
  CVariant& operator=(const CVariant&) = delete;
  ~CVariant() { VariantClear(&m_v); }

  const VARIANT& Get() const { return m_v; }
  // The VARIANT itself, for calls that read and write it in place.
  VARIANT* Address() { return &m_v; }
  VARIANT* Receive() {
    VariantClear(&m_v);
    return &m_v;
  }

 private:
  VARIANT m_v;
};

// A handle closed by `Close` when replaced or destroyed; `Invalid` marks no handle.
template <typename H, auto Close, auto Invalid>
class THandle {
 public:
  THandle() = default;
  explicit THandle(H handle) : m_h(handle) {}
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  THandle(THandle&& other) noexcept : m_h(std::exchange(other.m_h, H(Invalid))) {}
  THandle& operator=(THandle&& other) noexcept {
    Reset(std::exchange(other.m_h, H(Invalid)));
    return *this;
  }
  ~THandle() { Reset(); }

  H Get() const { return m_h; }
  explicit operator bool() const { return m_h != H(Invalid); }
  H* Receive() {
    Reset();
    return &m_h;
  }
  H Detach() { return std::exchange(m_h, H(Invalid)); }
  void Reset(H handle = H(Invalid)) {
    if (H old = std::exchange(m_h, handle); old != H(Invalid)) {
      Close(old);
    }
  }

 private:
  H m_h = H(Invalid);
};

namespace win32_handles_detail {
inline void CloseKernel(HANDLE h) {
  ::CloseHandle(h);
}
inline void CloseInternet(HINTERNET h) {
  ::InternetCloseHandle(h);
}
inline void CloseKey(HKEY h) {
  ::RegCloseKey(h);
}
inline void FreeLocal(void* p) {
  ::LocalFree(p);
}
inline void UnloadModule(HMODULE h) {
  ::FreeLibrary(h);
}
}  // namespace win32_handles_detail

using CKernelHandle = THandle<HANDLE, win32_handles_detail::CloseKernel, nullptr>;
using CInternetHandle = THandle<HINTERNET, win32_handles_detail::CloseInternet, nullptr>;
using CRegKeyHandle = THandle<HKEY, win32_handles_detail::CloseKey, nullptr>;
using CLocalMemory = THandle<void*, win32_handles_detail::FreeLocal, nullptr>;
using CModuleHandle = THandle<HMODULE, win32_handles_detail::UnloadModule, nullptr>;

// COM initialised on this thread for the object's lifetime, balanced only when it succeeded
// (a thread already in another apartment keeps it).
class CComApartment {
 public:
  explicit CComApartment(DWORD model = COINIT_APARTMENTTHREADED)
      : m_hr(CoInitializeEx(nullptr, model)) {}
  CComApartment(const CComApartment&) = delete;
  CComApartment& operator=(const CComApartment&) = delete;
  ~CComApartment() {
    if (SUCCEEDED(m_hr)) {
      CoUninitialize();
    }
  }
  HRESULT Result() const { return m_hr; }

 private:
  HRESULT m_hr;
};

// The IUnknown of the add-in's own heap objects that implement a dispatch interface
// `Interface` (see TComObject): QueryInterface answers IUnknown, IDispatch and `Interface`'s
// own id.
template <typename Interface>
class TDispatchObject : public TComObject<Interface> {
 public:
  explicit TDispatchObject(const IID& iid) : m_iid(iid) {}

 protected:
  void* InterfaceFor(REFIID iid) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, m_iid)) {
      return static_cast<Interface*>(this);
    }
    return nullptr;
  }

 private:
  IID m_iid;
};
