#include "platform/win32/control_host.h"

TComPtr<CControlHost> CControlHost::Create(HWND parent, DWORD exStyle, DWORD style,
                                           const RECT& rect) {
  // A plain static window: the host needs no messages of its own, and a window class of the
  // add-in's would outlive the DLL once Outlook unloads it.
  const HWND window =
      CreateWindowExW(exStyle, L"Static", L"", style, rect.left, rect.top, rect.right - rect.left,
                      rect.bottom - rect.top, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) {
    return {};
  }
  return TComPtr<CControlHost>(new CControlHost(window));
}

void* CControlHost::InterfaceFor(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
    return static_cast<IOleClientSite*>(this);
  }
  if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
    return static_cast<IOleInPlaceSite*>(this);
  }
  if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame)) {
    return static_cast<IOleInPlaceFrame*>(this);
  }
  if (IsEqualIID(iid, IID_IServiceProvider)) {
    return static_cast<IServiceProvider*>(this);
  }
  if (IsEqualIID(iid, IID_IObjectWithSite)) {
    return static_cast<IObjectWithSite*>(this);
  }
  return nullptr;
}

HRESULT CControlHost::CreateControl(const wchar_t* classId) {
  if (m_hWnd == nullptr) {
    return E_UNEXPECTED;
  }
  CLSID clsid{};
  HRESULT hr = CLSIDFromString(const_cast<LPOLESTR>(classId), &clsid);
  if (FAILED(hr)) {
    return hr;
  }
  TComPtr<IUnknown> control;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IUnknown, control.ReceiveVoid());
  if (FAILED(hr)) {
    return hr;
  }
  if (!control) {
    return E_FAIL;
  }
  m_spControl = control;
  control.As(IID_IOleObject, &m_spOleControl);
  DWORD misc = 0;
  if (m_spOleControl) {
    m_spOleControl->GetMiscStatus(DVASPECT_CONTENT, &misc);
  }
  IOleClientSite* const site = this;
  // Some controls read their container's services while they initialise, others only once
  // placed; each says which.
  if (m_spOleControl && (misc & OLEMISC_SETCLIENTSITEFIRST) != 0) {
    m_spOleControl->SetClientSite(site);
  }
  TComPtr<IPersistStreamInit> persist;
  if (SUCCEEDED(control.As(IID_IPersistStreamInit, &persist))) {
    persist->InitNew();
  }
  if (!m_spOleControl) {
    return S_OK;
  }
  if ((misc & OLEMISC_SETCLIENTSITEFIRST) == 0) {
    m_spOleControl->SetClientSite(site);
  }
  if ((misc & OLEMISC_INVISIBLEATRUNTIME) == 0) {
    RECT area{};
    GetClientRect(m_hWnd, &area);
    // A control that stays inactive can still be asked for its interfaces.
    m_spOleControl->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, m_hWnd, &area);
  }
  return S_OK;
}

HRESULT CControlHost::QueryControl(REFIID iid, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  return m_spControl ? m_spControl->QueryInterface(iid, out) : E_FAIL;
}

void CControlHost::Destroy() {
  if (m_spOleControl) {
    TComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(m_spOleControl.As(IID_IOleInPlaceObject, &inPlace))) {
      inPlace->InPlaceDeactivate();
    }
    m_spOleControl->Close(OLECLOSE_NOSAVE);
    m_spOleControl->SetClientSite(nullptr);
    m_spOleControl.Reset();
  }
  m_spControl.Reset();
  SetSite(nullptr);
  if (m_hWnd != nullptr) {
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
  }
}

HRESULT CControlHost::GetWindow(HWND* window) {
  if (window == nullptr) {
    return E_POINTER;
  }
  *window = m_hWnd;
  return m_hWnd != nullptr ? S_OK : E_FAIL;
}

HRESULT CControlHost::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) {
    *moniker = nullptr;
  }
  return E_NOTIMPL;
}

HRESULT CControlHost::GetContainer(IOleContainer** container) {
  if (container != nullptr) {
    *container = nullptr;
  }
  return E_NOINTERFACE;
}

HRESULT CControlHost::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                       RECT* position, RECT* clip, OLEINPLACEFRAMEINFO* info) {
  if (frame == nullptr || doc == nullptr || position == nullptr || clip == nullptr ||
      info == nullptr) {
    return E_POINTER;
  }
  *doc = nullptr;
  *frame = this;
  AddRef();
  GetClientRect(m_hWnd, position);
  *clip = *position;
  info->fMDIApp = FALSE;
  info->hwndFrame = GetParent(m_hWnd);
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

HRESULT CControlHost::QueryService(REFGUID service, REFIID iid, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  return m_spServices ? m_spServices->QueryService(service, iid, out) : E_NOINTERFACE;
}

HRESULT CControlHost::SetSite(IUnknown* site) {
  m_spServices.Reset();
  m_spSite = TComPtr<IUnknown>(site);
  if (m_spSite) {
    m_spSite.As(IID_IServiceProvider, &m_spServices);
  }
  return S_OK;
}

HRESULT CControlHost::GetSite(REFIID iid, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  return m_spSite ? m_spSite->QueryInterface(iid, out) : E_FAIL;
}
