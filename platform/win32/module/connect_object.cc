#include "platform/win32/module/connect_object.h"

#include <oleauto.h>

#include "addin/addin_module.h"
#include "addin/module_state.h"
#include "platform/win32/module/com_boundary.h"
#include "platform/win32/module/zenlet_ids.h"
#include "platform/win32/outlook_automation.h"
#include "platform/win32/win32_handles.h"
#include "zenlet_idl.h"

namespace {

// The type information of _IDTExtensibility2 from the module's own TYPELIB 1.
HRESULT LoadExtensibilityTypeInfo(HMODULE resources, TComPtr<ITypeInfo>* typeInfo) {
  wchar_t path[MAX_PATH] = {};
  if (GetModuleFileNameW(resources, path, MAX_PATH) == 0) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  TComPtr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, library.Receive());
  if (SUCCEEDED(hr)) {
    hr = library->GetTypeInfoOfGuid(kIidDtExtensibility2, typeInfo->Receive());
  }
  return hr;
}

// IUnknown in the apartment model, so the count needs no interlocking.
class CConnectObject : public TDispatchObject<_IDTExtensibility2> {
 public:
  CConnectObject(CAddinModule& module, HMODULE resources)
      : TDispatchObject<_IDTExtensibility2>(kIidDtExtensibility2),
        m_connect(module.CreateConnect()),
        m_hResources(resources) {}

  // IDispatch, from the embedded type library.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) {
      return E_POINTER;
    }
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) override {
    if (typeInfo == nullptr) {
      return E_POINTER;
    }
    *typeInfo = nullptr;
    if (index != 0) {
      return DISP_E_BADINDEX;
    }
    const HRESULT hr = TypeInfo();
    if (SUCCEEDED(hr)) {
      *typeInfo = TComPtr<ITypeInfo>(m_spTypeInfo).Detach();
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    const HRESULT hr = TypeInfo();
    return FAILED(hr) ? hr : DispGetIDsOfNames(m_spTypeInfo.Get(), names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override {
    const HRESULT hr = TypeInfo();
    return FAILED(hr) ? hr
                      : DispInvoke(static_cast<_IDTExtensibility2*>(this), m_spTypeInfo.Get(), id,
                                   flags, parameters, result, exception, argumentError);
  }

  // _IDTExtensibility2: each call a boundary; the portable connection decides the result.
  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ext_ConnectMode connectMode,
                                         IDispatch* addInInst, SAFEARRAY** custom) override {
    return ComBoundary([&] {
      return m_connect.OnConnection(WrapAutomationObject(application),
                                    static_cast<std::int32_t>(connectMode),
                                    WrapAutomationObject(addInInst), custom);
    });
  }
  HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode removeMode,
                                            SAFEARRAY** custom) override {
    return ComBoundary(
        [&] { return m_connect.OnDisconnection(static_cast<std::int32_t>(removeMode), custom); });
  }
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override {
    return ComBoundary([&] { return m_connect.OnAddInsUpdate(custom); });
  }
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override {
    return ComBoundary([&] { return m_connect.OnStartupComplete(custom); });
  }
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override {
    return ComBoundary([&] { return m_connect.OnBeginShutdown(custom); });
  }

 private:
  HRESULT TypeInfo() {
    return m_spTypeInfo ? S_OK : LoadExtensibilityTypeInfo(m_hResources, &m_spTypeInfo);
  }

  CModuleLock m_lock;
  CConnect m_connect;
  HMODULE m_hResources;
  TComPtr<ITypeInfo> m_spTypeInfo;
};

}  // namespace

HRESULT CreateConnectObject(CAddinModule& module, HMODULE resources, REFIID iid, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  auto* object = new CConnectObject(module, resources);
  object->AddRef();
  const HRESULT hr = object->QueryInterface(iid, out);
  object->Release();  // the caller's reference, if any, keeps it
  return hr;
}
