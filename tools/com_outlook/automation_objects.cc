#include "tools/com_outlook/automation_objects.h"

#include <windows.h>
// After windows.h, whose types they need.
#include <ocidl.h>
#include <olectl.h>
#include <oleidl.h>

#include <utility>
#include <vector>

#include "platform/win32/automation_call.h"
#include "platform/win32/outlook_automation.h"
#include "platform/win32/win32_handles.h"
#include "tools/com_outlook/automation_dispatch.h"

std::map<std::string, int> CAutomationContext::LiveObjects() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::map<std::string, int> live;
  for (const auto& [kind, count] : m_live) {
    if (count != 0) {
      live[kind] = count;
    }
  }
  return live;
}

void CAutomationContext::TearDown(
    std::function<void(const std::string& kind, const char* call)> report) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bTornDown = true;
  m_report = std::move(report);
}

void CAutomationContext::Count(const std::string& kind, int delta) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_live[kind] += delta;
}

bool CAutomationContext::Enter(const std::string& kind, const char* call) {
  std::function<void(const std::string&, const char*)> report;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bTornDown) {
      return true;
    }
    report = m_report;
  }
  if (report) {
    report(kind, call);
  }
  return false;
}

namespace {

using Context = std::shared_ptr<CAutomationContext>;

// --- values --------------------------------------------------------------------------------

HRESULT SetString(VARIANT* result, const std::wstring& text) {
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return result->bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetLong(VARIANT* result, std::int32_t value) {
  result->vt = VT_I4;
  result->lVal = value;
  return S_OK;
}

HRESULT SetBool(VARIANT* result, bool value) {
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

// `object` (a new object with one reference, or null for Nothing) as the result.
HRESULT SetObject(VARIANT* result, IDispatch* object) {
  result->vt = VT_DISPATCH;
  result->pdispVal = object;
  return S_OK;
}

std::wstring Text(const VARIANT& value) {
  return value.bstrVal != nullptr ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
                                  : std::wstring();
}

// A seam read of type T into the result.
template <typename T, typename Read, typename Set>
HRESULT ReadInto(VARIANT* result, Read read, Set set) {
  T value{};
  const HRESULT hr = read(&value);
  return FAILED(hr) ? hr : set(result, value);
}

// The pixels of an OLE picture holding a bitmap.
HRESULT PixelsOfPicture(IDispatch* picture, PixelImage* image) {
  TComPtr<IPicture> ole;
  if (picture == nullptr || FAILED(picture->QueryInterface(IID_IPicture, ole.ReceiveVoid()))) {
    return DISP_E_TYPEMISMATCH;
  }
  SHORT type = PICTYPE_NONE;
  OLE_HANDLE handle = 0;
  if (FAILED(ole->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(ole->get_Handle(&handle))) {
    return E_INVALIDARG;
  }
  const auto bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
  BITMAP size{};
  if (GetObjectW(bitmap, sizeof size, &size) == 0 || size.bmWidth <= 0 || size.bmHeight <= 0) {
    return E_INVALIDARG;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.bmWidth;
  info.bmiHeader.biHeight = -size.bmHeight;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  PixelImage read;
  read.nWidth = size.bmWidth;
  read.nHeight = size.bmHeight;
  read.aPixels.resize(static_cast<std::size_t>(size.bmWidth) * size.bmHeight);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(size.bmHeight),
                             read.aPixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != size.bmHeight) {
    return E_FAIL;
  }
  for (std::uint32_t& pixel : read.aPixels) {
    pixel &= 0x00FFFFFF;
  }
  *image = std::move(read);
  return S_OK;
}

// --- IUnknown ------------------------------------------------------------------------------

// An interface of an object whose identity and count are the object's own.
template <typename Interface>
class TDelegatingInterface : public Interface {
 public:
  explicit TDelegatingInterface(IUnknown& owner) : m_owner(owner) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return m_owner.QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return m_owner.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return m_owner.Release(); }

 protected:
  IUnknown& m_owner;
};

// The base of every object: its count, its kind in the context, its dispatch table and its
// extra interfaces.
class CAutomationObject : public IDispatch {
 public:
  CAutomationObject(Context context, std::string kind)
      : m_spContext(std::move(context)),
        m_strKind(std::move(kind)),
        m_strSource(m_strKind.begin(), m_strKind.end()) {
    m_spContext->Count(m_strKind, 1);
  }
  virtual ~CAutomationObject() { m_spContext->Count(m_strKind, -1); }
  CAutomationObject(const CAutomationObject&) = delete;
  CAutomationObject& operator=(const CAutomationObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!m_spContext->Enter(m_strKind, "QueryInterface")) {
      return RPC_E_DISCONNECTED;
    }
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
    } else {
      *out = Extra(iid);
    }
    if (*out == nullptr) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    if (!m_spContext->Enter(m_strKind, "AddRef")) {
      return 1;
    }
    return ++m_nReferences;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    if (!m_spContext->Enter(m_strKind, "Release")) {
      return 1;
    }
    const ULONG left = --m_nReferences;
    if (left == 0) {
      delete this;
    }
    return left;
  }

  // No type information: callers find members by name, as the add-in does.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) {
      return E_POINTER;
    }
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) {
      *info = nullptr;
    }
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!m_spContext->Enter(m_strKind, "GetIDsOfNames")) {
      return RPC_E_DISCONNECTED;
    }
    return m_members.GetIDsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override {
    if (!m_spContext->Enter(m_strKind, "Invoke")) {
      return RPC_E_DISCONNECTED;
    }
    if (!IsEqualIID(iid, IID_NULL)) {
      return DISP_E_UNKNOWNINTERFACE;
    }
    // A member may release the last outside reference to this object.
    AddRef();
    const HRESULT hr = m_members.Invoke(id, flags, parameters, result, exception, argumentError,
                                        m_strSource.c_str());
    Release();
    return hr;
  }

  // With the caller's one reference.
  IDispatch* Give() {
    AddRef();
    return this;
  }

 protected:
  // Another interface of the object, or null.
  virtual void* Extra(REFIID) { return nullptr; }

  Context m_spContext;
  CDispatchTable m_members;

 private:
  const std::string m_strKind;
  const std::wstring m_strSource;
  ULONG m_nReferences = 0;
};

// --- events --------------------------------------------------------------------------------

// One advised sink, through the seam's events of its source: the seam's calls become Invokes
// of the sink with the event's DISPID.
class CEventBridge : public std::enable_shared_from_this<CEventBridge> {
 public:
  CEventBridge(Context context, TComPtr<IDispatch> sink)
      : m_spContext(std::move(context)), m_spSink(std::move(sink)) {}
  virtual ~CEventBridge() = default;

 protected:
  // Held by each handler for its whole call: a sink that unadvises itself ends its
  // connection, and with it this bridge, while the bridge is still in the call.
  std::shared_ptr<CEventBridge> Keep() { return shared_from_this(); }

  // Arguments in the event's order.
  void Fire(DISPID id, std::vector<VARIANT> arguments) {
    const TComPtr<IDispatch> sink = m_spSink;  // the sink may unadvise itself
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS parameters{reversed.empty() ? nullptr : reversed.data(), nullptr,
                          static_cast<UINT>(reversed.size()), 0};
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                 nullptr);
  }

  Context m_spContext;

 private:
  TComPtr<IDispatch> m_spSink;
};

// How a source's seam object takes a bridge for a new sink, and lets it go.
struct EventSource {
  IID iid;
  std::function<HRESULT(Context, TComPtr<IDispatch>, std::shared_ptr<CEventBridge>*,
                        std::uint32_t*)>
      advise;
  std::function<HRESULT(std::uint32_t)> unadvise;
};

class CConnectionPoint : public TDelegatingInterface<IConnectionPoint> {
 public:
  CConnectionPoint(IUnknown& owner, IConnectionPointContainer& container, Context context,
                   EventSource source)
      : TDelegatingInterface(owner),
        m_container(container),
        m_spContext(std::move(context)),
        m_source(std::move(source)) {}
  ~CConnectionPoint() {
    // The source must not call into sinks that go with it.
    for (Connection& connection : m_aConnections) {
      if (connection.spBridge) {
        m_source.unadvise(connection.nSeamCookie);
      }
    }
  }

  const IID& Events() const { return m_source.iid; }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (iid == nullptr) {
      return E_POINTER;
    }
    *iid = m_source.iid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = &m_container;
    m_container.AddRef();
    return S_OK;
  }
  // Cookie = slot + 1; a sink must answer for the event interface.
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (sink == nullptr || cookie == nullptr) {
      return E_POINTER;
    }
    *cookie = 0;
    TComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(m_source.iid, dispatch.ReceiveVoid())) || !dispatch) {
      return CONNECT_E_CANNOTCONNECT;
    }
    Connection connection;
    const HRESULT hr =
        m_source.advise(m_spContext, dispatch, &connection.spBridge, &connection.nSeamCookie);
    if (FAILED(hr)) {
      return hr;
    }
    m_aConnections.push_back(std::move(connection));
    *cookie = static_cast<DWORD>(m_aConnections.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (cookie == 0 || cookie > m_aConnections.size() || !m_aConnections[cookie - 1].spBridge) {
      return CONNECT_E_NOCONNECTION;
    }
    Connection& connection = m_aConnections[cookie - 1];
    const HRESULT hr = m_source.unadvise(connection.nSeamCookie);
    connection.spBridge.reset();  // a bridge firing now keeps itself until its call returns
    return hr;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
    if (out != nullptr) {
      *out = nullptr;
    }
    return E_NOTIMPL;
  }

  int Count() const {
    int count = 0;
    for (const Connection& connection : m_aConnections) {
      count += connection.spBridge ? 1 : 0;
    }
    return count;
  }

 private:
  struct Connection {
    std::shared_ptr<CEventBridge> spBridge;  // null once unadvised
    std::uint32_t nSeamCookie = kNotAdvised;
  };

  IConnectionPointContainer& m_container;
  Context m_spContext;
  EventSource m_source;
  std::vector<Connection> m_aConnections;
};

class CConnectionPoints : public TDelegatingInterface<IConnectionPointContainer> {
 public:
  CConnectionPoints(IUnknown& owner, const Context& context, EventSource source)
      : TDelegatingInterface(owner), m_point(owner, *this, context, std::move(source)) {}

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
    if (out != nullptr) {
      *out = nullptr;
    }
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    if (!IsEqualIID(iid, m_point.Events())) {
      return CONNECT_E_NOCONNECTION;
    }
    *out = &m_point;
    m_point.AddRef();
    return S_OK;
  }

 private:
  CConnectionPoint m_point;
};

// Makes the bridge `Bridge` for a sink and advises it on `seam`.
template <typename Bridge, typename Seam>
EventSource SourceOf(const IID& iid, std::shared_ptr<Seam> seam) {
  EventSource source;
  source.iid = iid;
  source.advise = [seam](Context context, TComPtr<IDispatch> sink,
                         std::shared_ptr<CEventBridge>* bridge, std::uint32_t* cookie) {
    auto made = std::make_shared<Bridge>(std::move(context), std::move(sink));
    const HRESULT hr = seam->Advise(made.get(), cookie);
    if (SUCCEEDED(hr)) {
      *bridge = std::move(made);
    }
    return hr;
  };
  source.unadvise = [seam](std::uint32_t cookie) { return seam->Unadvise(cookie); };
  return source;
}

// An object that is also a source of events.
class CEventSourceObject : public CAutomationObject {
 public:
  CEventSourceObject(Context context, std::string kind, EventSource source)
      : CAutomationObject(context, std::move(kind)),
        m_points(*static_cast<IDispatch*>(this), context, std::move(source)) {}

 protected:
  void* Extra(REFIID iid) override {
    return IsEqualIID(iid, IID_IConnectionPointContainer)
               ? static_cast<IConnectionPointContainer*>(&m_points)
               : nullptr;
  }

 private:
  CConnectionPoints m_points;
};

// --- the objects ---------------------------------------------------------------------------

IDispatch* NewExplorerObject(const Context& context, std::shared_ptr<IOutlookExplorer> explorer);
IDispatch* NewControlObject(const Context& context, std::shared_ptr<ICommandBarControl> control);
IDispatch* NewCommandBarObject(const Context& context, std::shared_ptr<ICommandBar> bar);

// An object argument made for one event, released after it.
class CEventObject {
 public:
  explicit CEventObject(IDispatch* object) : m_p(TComPtr<IDispatch>::Adopt(object)) {}
  VARIANT Argument() const { return VariantOf(m_p.Get()); }

 private:
  TComPtr<IDispatch> m_p;
};

class CApplicationEventsBridge : public CEventBridge, public IApplicationEvents {
 public:
  using CEventBridge::CEventBridge;
  void OnStartup() override {
    const auto keep = Keep();
    Fire(event_dispid::kApplicationStartup, {});
  }
  void OnQuit() override {
    const auto keep = Keep();
    Fire(event_dispid::kApplicationQuit, {});
  }
};

class CExplorersEventsBridge : public CEventBridge, public IExplorersEvents {
 public:
  using CEventBridge::CEventBridge;
  void OnNewExplorer(const std::shared_ptr<IOutlookExplorer>& explorer) override {
    const auto keep = Keep();
    const CEventObject object(NewExplorerObject(m_spContext, explorer));
    Fire(event_dispid::kExplorersNewExplorer, {object.Argument()});
  }
};

class CExplorerEventsBridge : public CEventBridge, public IExplorerEvents {
 public:
  using CEventBridge::CEventBridge;
  void OnActivate() override {
    const auto keep = Keep();
    Fire(event_dispid::kExplorerActivate, {});
  }
  void OnSelectionChange() override {
    const auto keep = Keep();
    Fire(event_dispid::kExplorerSelectionChange, {});
  }
  void OnClose() override {
    const auto keep = Keep();
    Fire(event_dispid::kExplorerClose, {});
  }
};

class CButtonEventsBridge : public CEventBridge, public ICommandBarButtonEvents {
 public:
  using CEventBridge::CEventBridge;
  // Click(Ctrl, CancelDefault): the button, then Office's flag by reference.
  void OnClick(const std::shared_ptr<ICommandBarButton>& button, bool* cancelDefault) override {
    const auto keep = Keep();
    const CEventObject ctrl(NewControlObject(m_spContext, button));
    VARIANT_BOOL cancel = *cancelDefault ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANT flag;
    VariantInit(&flag);
    flag.vt = VT_BOOL | VT_BYREF;
    flag.pboolVal = &cancel;
    Fire(event_dispid::kButtonClick, {ctrl.Argument(), flag});
    *cancelDefault = cancel != VARIANT_FALSE;
  }
};

class CComboBoxEventsBridge : public CEventBridge, public ICommandBarComboBoxEvents {
 public:
  using CEventBridge::CEventBridge;
  void OnChange(const std::shared_ptr<ICommandBarComboBox>& comboBox) override {
    const auto keep = Keep();
    const CEventObject ctrl(NewControlObject(m_spContext, comboBox));
    Fire(event_dispid::kComboBoxChange, {ctrl.Argument()});
  }
};

// Office's controls: the members every control has, and those of its kind.
class CControlObject : public CEventSourceObject {
 public:
  CControlObject(const Context& context, std::string kind, EventSource source,
                 std::shared_ptr<ICommandBarControl> control)
      : CEventSourceObject(context, std::move(kind), std::move(source)),
        m_spControl(std::move(control)) {
    ICommandBarControl* c = m_spControl.get();
    m_members.Get(L"Type", [c](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::int32_t>(
          r, [c](std::int32_t* v) { return c->GetType(v); }, SetLong);
    });
    StringProperty(L"Tag", &ICommandBarControl::GetTag, &ICommandBarControl::SetTag);
    StringProperty(L"Caption", &ICommandBarControl::GetCaption, &ICommandBarControl::SetCaption);
    StringProperty(L"TooltipText", &ICommandBarControl::GetTooltipText,
                   &ICommandBarControl::SetTooltipText);
    BoolProperty(L"BeginGroup", &ICommandBarControl::GetBeginGroup,
                 &ICommandBarControl::SetBeginGroup);
    BoolProperty(L"Visible", &ICommandBarControl::GetVisible, &ICommandBarControl::SetVisible);
    BoolProperty(L"Enabled", &ICommandBarControl::GetEnabled, &ICommandBarControl::SetEnabled);
    // Delete([Temporary]): the one optional argument is taken and not used.
    m_members.Method(L"Delete", {{VT_VARIANT, true}},
                     [c](const DispatchArguments&, VARIANT*) { return c->Delete(); });
    m_members.Get(L"Width", [c](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::int32_t>(
          r, [c](std::int32_t* v) { return c->GetWidth(v); }, SetLong);
    });
    m_members.Put(L"Width", VT_I4, [c](const VARIANT& v) { return c->SetWidth(v.lVal); });
  }

 private:
  using StringGet = HRESULT (ICommandBarControl::*)(std::wstring*);
  using StringSet = HRESULT (ICommandBarControl::*)(const std::wstring&);
  using BoolGet = HRESULT (ICommandBarControl::*)(bool*);
  using BoolSet = HRESULT (ICommandBarControl::*)(bool);

  void StringProperty(const wchar_t* name, StringGet get, StringSet set) {
    ICommandBarControl* c = m_spControl.get();
    m_members.Get(name, [c, get](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::wstring>(
          r, [c, get](std::wstring* v) { return (c->*get)(v); }, SetString);
    });
    m_members.Put(name, VT_BSTR, [c, set](const VARIANT& v) { return (c->*set)(Text(v)); });
  }
  void BoolProperty(const wchar_t* name, BoolGet get, BoolSet set) {
    ICommandBarControl* c = m_spControl.get();
    m_members.Get(name, [c, get](const DispatchArguments&, VARIANT* r) {
      return ReadInto<bool>(
          r, [c, get](bool* v) { return (c->*get)(v); }, SetBool);
    });
    m_members.Put(name, VT_BOOL,
                  [c, set](const VARIANT& v) { return (c->*set)(v.boolVal != VARIANT_FALSE); });
  }

  std::shared_ptr<ICommandBarControl> m_spControl;
};

EventSource NoEvents() {
  EventSource none;
  none.iid = IID_NULL;
  none.advise = [](Context, TComPtr<IDispatch>, std::shared_ptr<CEventBridge>*, std::uint32_t*) {
    return CONNECT_E_CANNOTCONNECT;
  };
  none.unadvise = [](std::uint32_t) { return CONNECT_E_NOCONNECTION; };
  return none;
}

class CButtonObject : public CControlObject {
 public:
  CButtonObject(const Context& context, std::shared_ptr<ICommandBarButton> button)
      : CControlObject(context, "CommandBarButton",
                       SourceOf<CButtonEventsBridge>(kIidCommandBarButtonEvents, button), button),
        m_spButton(std::move(button)) {
    ICommandBarButton* b = m_spButton.get();
    m_members.Get(L"Style", [b](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::int32_t>(
          r, [b](std::int32_t* v) { return b->GetStyle(v); }, SetLong);
    });
    m_members.Put(L"Style", VT_I4, [b](const VARIANT& v) { return b->SetStyle(v.lVal); });
    // Plain puts, as Office's type library has them: `.Picture = picture`, never Set.
    m_members.Put(L"Picture", VT_DISPATCH, [b](const VARIANT& v) {
      PixelImage image;
      const HRESULT hr = PixelsOfPicture(v.pdispVal, &image);
      return FAILED(hr) ? hr : b->SetPicture(image);
    });
    m_members.Put(L"Mask", VT_DISPATCH, [b](const VARIANT& v) {
      PixelImage image;
      const HRESULT hr = PixelsOfPicture(v.pdispVal, &image);
      return FAILED(hr) ? hr : b->SetMask(image);
    });
    const Context shared = context;
    m_members.Method(L"PasteFace", {}, [b, shared](const DispatchArguments&, VARIANT*) {
      if (shared->beforePasteFace) {
        shared->beforePasteFace();
      }
      return b->PasteFace();
    });
    m_members.Method(L"CopyFace", {}, [b, shared](const DispatchArguments&, VARIANT*) {
      const HRESULT hr = b->CopyFace();
      if (SUCCEEDED(hr) && shared->afterCopyFace) {
        shared->afterCopyFace();
      }
      return hr;
    });
  }

 private:
  std::shared_ptr<ICommandBarButton> m_spButton;
};

class CComboBoxObject : public CControlObject {
 public:
  CComboBoxObject(const Context& context, std::shared_ptr<ICommandBarComboBox> box)
      : CControlObject(context, "CommandBarComboBox",
                       SourceOf<CComboBoxEventsBridge>(kIidCommandBarComboBoxEvents, box), box),
        m_spBox(std::move(box)) {
    ICommandBarComboBox* b = m_spBox.get();
    m_members.Get(L"Text", [b](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::wstring>(
          r, [b](std::wstring* v) { return b->GetText(v); }, SetString);
    });
    m_members.Put(L"Text", VT_BSTR, [b](const VARIANT& v) { return b->SetText(Text(v)); });
    m_members.Get(L"ListIndex", [b](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::int32_t>(
          r, [b](std::int32_t* v) { return b->GetListIndex(v); }, SetLong);
    });
    m_members.Put(L"ListIndex", VT_I4, [b](const VARIANT& v) { return b->SetListIndex(v.lVal); });
    m_members.Get(L"ListCount", [b](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::int32_t>(
          r, [b](std::int32_t* v) { return b->GetListCount(v); }, SetLong);
    });
    m_members.Get(L"List",
                  [b](const DispatchArguments& a, VARIANT* r) {
                    const std::int32_t index = a[0].lVal;
                    return ReadInto<std::wstring>(
                        r, [b, index](std::wstring* v) { return b->GetListItem(index, v); },
                        SetString);
                  },
                  {{VT_I4, false}});
    m_members.Method(L"Clear", {}, [b](const DispatchArguments&, VARIANT*) { return b->Clear(); });
    // AddItem(Text, [Index]): this Office appends only.
    m_members.Method(L"AddItem", {{VT_BSTR, false}, {VT_VARIANT, true}},
                     [b](const DispatchArguments& a, VARIANT*) {
                       return IsMissing(a[1]) ? b->AddItem(Text(a[0])) : E_NOTIMPL;
                     });
    m_members.Put(L"DropDownLines", VT_I4,
                  [b](const VARIANT& v) { return b->SetDropDownLines(v.lVal); });
    m_members.Put(L"DropDownWidth", VT_I4,
                  [b](const VARIANT& v) { return b->SetDropDownWidth(v.lVal); });
  }

 private:
  std::shared_ptr<ICommandBarComboBox> m_spBox;
};

class CPopupObject : public CControlObject {
 public:
  CPopupObject(const Context& context, std::shared_ptr<ICommandBarPopup> popup)
      : CControlObject(context, "CommandBarPopup", NoEvents(), popup), m_spPopup(std::move(popup)) {
    ICommandBarPopup* p = m_spPopup.get();
    const Context shared = context;
    m_members.Get(L"CommandBar", [p, shared](const DispatchArguments&, VARIANT* r) {
      std::shared_ptr<ICommandBar> bar;
      const HRESULT hr = p->GetCommandBar(&bar);
      return FAILED(hr) ? hr : SetObject(r, bar ? NewCommandBarObject(shared, bar) : nullptr);
    });
  }

 private:
  std::shared_ptr<ICommandBarPopup> m_spPopup;
};

IDispatch* NewControlObject(const Context& context, std::shared_ptr<ICommandBarControl> control) {
  std::shared_ptr<ICommandBarButton> button;
  std::shared_ptr<ICommandBarComboBox> box;
  std::shared_ptr<ICommandBarPopup> popup;
  CAutomationObject* object = nullptr;
  if (SUCCEEDED(control->QueryButton(&button)) && button) {
    object = new CButtonObject(context, std::move(button));
  } else if (SUCCEEDED(control->QueryComboBox(&box)) && box) {
    object = new CComboBoxObject(context, std::move(box));
  } else if (SUCCEEDED(control->QueryPopup(&popup)) && popup) {
    object = new CPopupObject(context, std::move(popup));
  } else {
    object = new CControlObject(context, "CommandBarControl", NoEvents(), std::move(control));
  }
  return object->Give();
}

class CControlsObject : public CAutomationObject {
 public:
  CControlsObject(const Context& context, std::shared_ptr<ICommandBarControls> controls)
      : CAutomationObject(context, "CommandBarControls"), m_spControls(std::move(controls)) {
    ICommandBarControls* c = m_spControls.get();
    const Context shared = context;
    m_members.Get(L"Count", [c](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::int32_t>(
          r, [c](std::int32_t* v) { return c->GetCount(v); }, SetLong);
    });
    m_members.Get(L"Item",
                  [c, shared](const DispatchArguments& a, VARIANT* r) {
                    std::shared_ptr<ICommandBarControl> found;
                    const HRESULT hr = c->FindControl(Text(a[0]), &found);
                    if (FAILED(hr)) {
                      return hr;
                    }
                    return found ? SetObject(r, NewControlObject(shared, found)) : E_INVALIDARG;
                  },
                  {{VT_BSTR, false}});
    // Add([Type], [Id], [Parameter], [Before], [Temporary]): new controls at the end only.
    m_members.Method(L"Add",
                     {{VT_VARIANT, true},
                      {VT_VARIANT, true},
                      {VT_VARIANT, true},
                      {VT_VARIANT, true},
                      {VT_VARIANT, true}},
                     [c, shared](const DispatchArguments& a, VARIANT* r) {
                       if (!IsMissing(a[1]) || !IsMissing(a[3])) {
                         return E_NOTIMPL;
                       }
                       CVariant type;
                       CVariant temporary;
                       HRESULT hr = S_OK;
                       std::int32_t kind = office::kControlButton;
                       bool bTemporary = false;
                       if (!IsMissing(a[0])) {
                         hr = ConvertArgument(a[0], VT_I4, type.Receive());
                         kind = type.Get().lVal;
                       }
                       if (SUCCEEDED(hr) && !IsMissing(a[4])) {
                         hr = ConvertArgument(a[4], VT_BOOL, temporary.Receive());
                         bTemporary = temporary.Get().boolVal != VARIANT_FALSE;
                       }
                       std::shared_ptr<ICommandBarControl> added;
                       if (SUCCEEDED(hr)) {
                         hr = c->AddControl(kind, bTemporary, &added);
                       }
                       if (SUCCEEDED(hr) && !added) {
                         hr = E_FAIL;
                       }
                       return FAILED(hr) ? hr : SetObject(r, NewControlObject(shared, added));
                     });
  }

 private:
  std::shared_ptr<ICommandBarControls> m_spControls;
};

class CCommandBarObject : public CAutomationObject {
 public:
  CCommandBarObject(const Context& context, std::shared_ptr<ICommandBar> bar)
      : CAutomationObject(context, "CommandBar"), m_spBar(std::move(bar)) {
    ICommandBar* b = m_spBar.get();
    const Context shared = context;
    m_members.Get(L"Name", [b](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::wstring>(
          r, [b](std::wstring* v) { return b->GetName(v); }, SetString);
    });
    m_members.Get(L"Controls", [b, shared](const DispatchArguments&, VARIANT* r) {
      std::shared_ptr<ICommandBarControls> controls;
      const HRESULT hr = b->GetControls(&controls);
      if (FAILED(hr) || !controls) {
        return FAILED(hr) ? hr : E_FAIL;
      }
      return SetObject(r, (new CControlsObject(shared, controls))->Give());
    });
    LongProperty(L"Position", &ICommandBar::GetPosition, &ICommandBar::SetPosition);
    LongProperty(L"RowIndex", &ICommandBar::GetRowIndex, &ICommandBar::SetRowIndex);
    LongProperty(L"Left", &ICommandBar::GetLeft, &ICommandBar::SetLeft);
    m_members.Get(L"Visible", [b](const DispatchArguments&, VARIANT* r) {
      return ReadInto<bool>(
          r, [b](bool* v) { return b->GetVisible(v); }, SetBool);
    });
    m_members.Put(L"Visible", VT_BOOL,
                  [b](const VARIANT& v) { return b->SetVisible(v.boolVal != VARIANT_FALSE); });
    m_members.Method(L"Delete", {}, [b](const DispatchArguments&, VARIANT*) { return b->Delete(); });
  }

 private:
  void LongProperty(const wchar_t* name, HRESULT (ICommandBar::*get)(std::int32_t*),
                    HRESULT (ICommandBar::*set)(std::int32_t)) {
    ICommandBar* b = m_spBar.get();
    m_members.Get(name, [b, get](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::int32_t>(
          r, [b, get](std::int32_t* v) { return (b->*get)(v); }, SetLong);
    });
    m_members.Put(name, VT_I4, [b, set](const VARIANT& v) { return (b->*set)(v.lVal); });
  }

  std::shared_ptr<ICommandBar> m_spBar;
};

IDispatch* NewCommandBarObject(const Context& context, std::shared_ptr<ICommandBar> bar) {
  return (new CCommandBarObject(context, std::move(bar)))->Give();
}

// The argument `value` as a VT_TYPE `vt`, or `fallback` when omitted.
template <typename T>
HRESULT OptionalArgument(const VARIANT& value, VARTYPE vt, T fallback, T (*read)(const VARIANT&),
                         T* out) {
  if (IsMissing(value)) {
    *out = fallback;
    return S_OK;
  }
  CVariant converted;
  const HRESULT hr = ConvertArgument(value, vt, converted.Receive());
  if (SUCCEEDED(hr)) {
    *out = read(converted.Get());
  }
  return hr;
}

class CCommandBarsObject : public CAutomationObject {
 public:
  CCommandBarsObject(const Context& context, std::shared_ptr<ICommandBars> bars)
      : CAutomationObject(context, "CommandBars"), m_spBars(std::move(bars)) {
    ICommandBars* b = m_spBars.get();
    const Context shared = context;
    m_members.Get(L"Item",
                  [b, shared](const DispatchArguments& a, VARIANT* r) {
                    std::shared_ptr<ICommandBar> found;
                    const HRESULT hr = b->FindBar(Text(a[0]), &found);
                    if (FAILED(hr)) {
                      return hr;
                    }
                    return found ? SetObject(r, NewCommandBarObject(shared, found)) : E_INVALIDARG;
                  },
                  {{VT_BSTR, false}});
    // Add([Name], [Position], [MenuBar], [Temporary]).
    m_members.Method(
        L"Add", {{VT_VARIANT, true}, {VT_VARIANT, true}, {VT_VARIANT, true}, {VT_VARIANT, true}},
        [b, shared](const DispatchArguments& a, VARIANT* r) {
          std::wstring name;
          std::int32_t position = 4;  // msoBarFloating
          bool menuBar = false;
          bool temporary = false;
          HRESULT hr = OptionalArgument<std::wstring>(
              a[0], VT_BSTR, L"Custom", [](const VARIANT& v) { return Text(v); }, &name);
          if (SUCCEEDED(hr)) {
            hr = OptionalArgument<std::int32_t>(
                a[1], VT_I4, position, [](const VARIANT& v) -> std::int32_t { return v.lVal; },
                &position);
          }
          if (SUCCEEDED(hr)) {
            hr = OptionalArgument<bool>(
                a[2], VT_BOOL, false, [](const VARIANT& v) { return v.boolVal != VARIANT_FALSE; },
                &menuBar);
          }
          if (SUCCEEDED(hr)) {
            hr = OptionalArgument<bool>(
                a[3], VT_BOOL, false, [](const VARIANT& v) { return v.boolVal != VARIANT_FALSE; },
                &temporary);
          }
          std::shared_ptr<ICommandBar> added;
          if (SUCCEEDED(hr)) {
            hr = b->AddBar(name, position, menuBar, temporary, &added);
          }
          if (SUCCEEDED(hr) && !added) {
            hr = E_FAIL;
          }
          return FAILED(hr) ? hr : SetObject(r, NewCommandBarObject(shared, added));
        });
  }

 private:
  std::shared_ptr<ICommandBars> m_spBars;
};

class COleWindow : public TDelegatingInterface<IOleWindow> {
 public:
  COleWindow(IUnknown& owner, IOutlookExplorer& explorer)
      : TDelegatingInterface(owner), m_explorer(explorer) {}
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) {
      return E_POINTER;
    }
    WindowHandle handle = 0;
    const HRESULT hr = m_explorer.GetWindow(&handle);
    *window = SUCCEEDED(hr) ? reinterpret_cast<HWND>(handle) : nullptr;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

 private:
  IOutlookExplorer& m_explorer;
};

class CExplorerObject : public CEventSourceObject {
 public:
  CExplorerObject(const Context& context, std::shared_ptr<IOutlookExplorer> explorer)
      : CEventSourceObject(context, "Explorer",
                           SourceOf<CExplorerEventsBridge>(kIidOutlookExplorerEvents, explorer)),
        m_spExplorer(std::move(explorer)),
        m_window(*static_cast<IDispatch*>(this), *m_spExplorer) {
    IOutlookExplorer* e = m_spExplorer.get();
    const Context shared = context;
    m_members.Get(L"CommandBars", [e, shared](const DispatchArguments&, VARIANT* r) {
      std::shared_ptr<ICommandBars> bars;
      const HRESULT hr = e->GetCommandBars(&bars);
      if (FAILED(hr) || !bars) {
        return FAILED(hr) ? hr : E_FAIL;
      }
      return SetObject(r, (new CCommandBarsObject(shared, bars))->Give());
    });
  }

 protected:
  void* Extra(REFIID iid) override {
    if (IsEqualIID(iid, IID_IOleWindow)) {
      return static_cast<IOleWindow*>(&m_window);
    }
    return CEventSourceObject::Extra(iid);
  }

 private:
  std::shared_ptr<IOutlookExplorer> m_spExplorer;
  COleWindow m_window;
};

IDispatch* NewExplorerObject(const Context& context, std::shared_ptr<IOutlookExplorer> explorer) {
  return explorer ? (new CExplorerObject(context, std::move(explorer)))->Give() : nullptr;
}

class CExplorersObject : public CEventSourceObject {
 public:
  CExplorersObject(const Context& context, std::shared_ptr<IOutlookExplorers> explorers)
      : CEventSourceObject(context, "Explorers",
                           SourceOf<CExplorersEventsBridge>(kIidOutlookExplorersEvents, explorers)),
        m_spExplorers(std::move(explorers)) {
    IOutlookExplorers* e = m_spExplorers.get();
    const Context shared = context;
    m_members.Get(L"Count", [e](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::int32_t>(
          r, [e](std::int32_t* v) { return e->GetCount(v); }, SetLong);
    });
    // Item(Index), a method in Outlook's library.
    m_members.Method(L"Item", {{VT_I4, false}},
                     [e, shared](const DispatchArguments& a, VARIANT* r) {
                       std::shared_ptr<IOutlookExplorer> found;
                       const HRESULT hr = e->GetItem(a[0].lVal, &found);
                       if (FAILED(hr)) {
                         return hr;
                       }
                       return found ? SetObject(r, NewExplorerObject(shared, found)) : E_INVALIDARG;
                     });
  }

 private:
  std::shared_ptr<IOutlookExplorers> m_spExplorers;
};

class CMailItemObject : public CAutomationObject {
 public:
  CMailItemObject(const Context& context, std::shared_ptr<IOutlookItem> item)
      : CAutomationObject(context, "MailItem"), m_spItem(std::move(item)) {
    if (FAILED(m_spItem->QueryMailItem(&m_spMail))) {
      m_spMail.reset();
    }
    IOutlookMailItem* m = m_spMail.get();
    if (m == nullptr) {
      return;  // another kind of item: none of a mail item's members
    }
    m_members.Put(L"Subject", VT_BSTR, [m](const VARIANT& v) { return m->SetSubject(Text(v)); });
    m_members.Put(L"To", VT_BSTR, [m](const VARIANT& v) { return m->SetTo(Text(v)); });
    // Display([Modal]): only the non-modal window.
    m_members.Method(L"Display", {{VT_VARIANT, true}}, [m](const DispatchArguments& a, VARIANT*) {
      if (!IsMissing(a[0])) {
        CVariant modal;
        const HRESULT hr = ConvertArgument(a[0], VT_BOOL, modal.Receive());
        if (FAILED(hr) || modal.Get().boolVal != VARIANT_FALSE) {
          return FAILED(hr) ? hr : E_NOTIMPL;
        }
      }
      return m->Display();
    });
  }

 protected:
  void* Extra(REFIID iid) override {
    return m_spMail && IsEqualIID(iid, kIidOutlookMailItem) ? static_cast<IDispatch*>(this)
                                                            : nullptr;
  }

 private:
  std::shared_ptr<IOutlookItem> m_spItem;
  std::shared_ptr<IOutlookMailItem> m_spMail;
};

class CItemsObject : public CAutomationObject {
 public:
  CItemsObject(const Context& context, std::shared_ptr<IOutlookFolder> folder)
      : CAutomationObject(context, "Items"), m_spFolder(std::move(folder)) {
    IOutlookFolder* f = m_spFolder.get();
    m_members.Get(L"Count", [f](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::int32_t>(
          r, [f](std::int32_t* v) { return f->GetItemCount(v); }, SetLong);
    });
  }

 private:
  std::shared_ptr<IOutlookFolder> m_spFolder;
};

class CFolderObject : public CAutomationObject {
 public:
  CFolderObject(const Context& context, std::shared_ptr<IOutlookFolder> folder)
      : CAutomationObject(context, "MAPIFolder"), m_spFolder(std::move(folder)) {
    const Context shared = context;
    const std::shared_ptr<IOutlookFolder> f = m_spFolder;
    m_members.Get(L"Items", [f, shared](const DispatchArguments&, VARIANT* r) {
      return SetObject(r, (new CItemsObject(shared, f))->Give());
    });
  }

 private:
  std::shared_ptr<IOutlookFolder> m_spFolder;
};

class CNameSpaceObject : public CAutomationObject {
 public:
  CNameSpaceObject(const Context& context, std::shared_ptr<IOutlookNameSpace> nameSpace)
      : CAutomationObject(context, "NameSpace"), m_spNameSpace(std::move(nameSpace)) {
    IOutlookNameSpace* n = m_spNameSpace.get();
    const Context shared = context;
    m_members.Method(
        L"GetDefaultFolder", {{VT_I4, false}}, [n, shared](const DispatchArguments& a, VARIANT* r) {
          std::shared_ptr<IOutlookFolder> folder;
          HRESULT hr = n->GetDefaultFolder(a[0].lVal, &folder);
          if (SUCCEEDED(hr) && !folder) {
            hr = E_FAIL;
          }
          return FAILED(hr) ? hr : SetObject(r, (new CFolderObject(shared, folder))->Give());
        });
  }

 private:
  std::shared_ptr<IOutlookNameSpace> m_spNameSpace;
};

class CApplicationObject : public CEventSourceObject {
 public:
  CApplicationObject(const Context& context, std::shared_ptr<IOutlookApplication> application)
      : CEventSourceObject(
            context, "Application",
            SourceOf<CApplicationEventsBridge>(kIidOutlookApplicationEvents, application)),
        m_spApplication(std::move(application)) {
    IOutlookApplication* a = m_spApplication.get();
    const Context shared = context;
    m_members.Get(L"Version", [a](const DispatchArguments&, VARIANT* r) {
      return ReadInto<std::wstring>(
          r, [a](std::wstring* v) { return a->GetVersion(v); }, SetString);
    });
    m_members.Get(L"Explorers", [a, shared](const DispatchArguments&, VARIANT* r) {
      std::shared_ptr<IOutlookExplorers> explorers;
      HRESULT hr = a->GetExplorers(&explorers);
      if (SUCCEEDED(hr) && !explorers) {
        hr = E_FAIL;
      }
      return FAILED(hr) ? hr : SetObject(r, (new CExplorersObject(shared, explorers))->Give());
    });
    // ActiveExplorer(): Nothing when no explorer is active.
    m_members.Method(L"ActiveExplorer", {}, [a, shared](const DispatchArguments&, VARIANT* r) {
      std::shared_ptr<IOutlookExplorer> active;
      const HRESULT hr = a->GetActiveExplorer(&active);
      return FAILED(hr) ? hr : SetObject(r, NewExplorerObject(shared, active));
    });
    m_members.Method(
        L"CreateItem", {{VT_I4, false}}, [a, shared](const DispatchArguments& args, VARIANT* r) {
          std::shared_ptr<IOutlookItem> item;
          HRESULT hr = a->CreateItem(args[0].lVal, &item);
          if (SUCCEEDED(hr) && !item) {
            hr = E_FAIL;
          }
          return FAILED(hr) ? hr : SetObject(r, (new CMailItemObject(shared, item))->Give());
        });
    m_members.Get(L"Session", [a, shared](const DispatchArguments&, VARIANT* r) {
      std::shared_ptr<IOutlookNameSpace> session;
      HRESULT hr = a->GetSession(&session);
      if (SUCCEEDED(hr) && !session) {
        hr = E_FAIL;
      }
      return FAILED(hr) ? hr : SetObject(r, (new CNameSpaceObject(shared, session))->Give());
    });
  }

 protected:
  void* Extra(REFIID iid) override {
    if (IsEqualIID(iid, kIidOutlookApplicationObject)) {
      return static_cast<IDispatch*>(this);
    }
    return CEventSourceObject::Extra(iid);
  }

 private:
  std::shared_ptr<IOutlookApplication> m_spApplication;
};

class CAddInObject : public CAutomationObject {
 public:
  CAddInObject(const Context& context, const std::wstring& progId)
      : CAutomationObject(context, "COMAddIn") {
    m_members.Get(L"ProgId",
                  [progId](const DispatchArguments&, VARIANT* r) { return SetString(r, progId); });
    m_members.Get(L"Description",
                  [progId](const DispatchArguments&, VARIANT* r) { return SetString(r, progId); });
  }
};

}  // namespace

IDispatch* NewApplicationObject(const std::shared_ptr<CAutomationContext>& context,
                                const std::shared_ptr<IOutlookApplication>& application) {
  return (new CApplicationObject(context, application))->Give();
}

IDispatch* NewAddInObject(const std::shared_ptr<CAutomationContext>& context,
                          const std::wstring& progId) {
  return (new CAddInObject(context, progId))->Give();
}
