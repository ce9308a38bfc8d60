// A minimal OLE container for one ActiveX control: a child window and the host object behind
// it, which is the control's client site, in-place site and frame, and its service provider.
// Services are those of the site set through IObjectWithSite::SetSite, so whoever places the
// host decides what the control finds when it asks its container for a service.
//
//   TComPtr<CControlHost> host = CControlHost::Create(parent, exStyle, style, rect);
//   host->SetSite(services);           // before the control is made: it asks while created
//   host->CreateControl(L"{...}");
//   host->QueryControl(iid, out);
//   host->Destroy();                   // closes the control and the window
//
// Threading: the thread that owns `parent`, in a single-threaded COM apartment. Errors: the
// HRESULT of the failing step; nothing throws but std::bad_alloc.
#pragma once

#include <windows.h>
// After windows.h, whose types they need.
#include <ocidl.h>
#include <oleidl.h>
#include <servprov.h>

#include "platform/win32/com_object.h"
#include "platform/win32/win32_handles.h"

class CControlHost : public TComObject<IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame,
                                       IServiceProvider, IObjectWithSite> {
 public:
  // The host window (a child of `parent` at `rect`) and its object; null when the window
  // cannot be made.
  static TComPtr<CControlHost> Create(HWND parent, DWORD exStyle, DWORD style, const RECT& rect);

  HWND Window() const { return m_hWnd; }
  // Creates the control of class `classId` ("{...}") in the window, its site set first when
  // it asks for that, and activates it in place unless it is invisible at run time. A control
  // that is not an OLE object is kept as it is.
  HRESULT CreateControl(const wchar_t* classId);
  // The control's interface `iid`; E_FAIL when there is no control.
  HRESULT QueryControl(REFIID iid, void** out);
  // Deactivates and closes the control and releases it, drops the site and destroys the
  // window. The object may outlive this in references the control kept; it then answers
  // without a window.
  void Destroy();

  // IOleWindow (of the in-place site and of the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             RECT* position, RECT* clip,
                                             OLEINPLACEFRAMEINFO* info) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no tool space, menus or status line to share.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IServiceProvider: the site's services.
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override;

  // IObjectWithSite
  HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
  HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** out) override;

 private:
  explicit CControlHost(HWND window) : m_hWnd(window) {}
  void* InterfaceFor(REFIID iid) override;

  HWND m_hWnd;
  TComPtr<IUnknown> m_spSite;
  TComPtr<IServiceProvider> m_spServices;  // the site's, when it has them
  TComPtr<IUnknown> m_spControl;
  TComPtr<IOleObject> m_spOleControl;  // when the control is an OLE object
};
