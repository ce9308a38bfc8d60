// The Outlook host adapter against small automation objects of the test's own: properties
// and methods reached by name with their arguments in order, lookups that find nothing,
// control kinds, button faces as OLE pictures, and events through connection points with
// their DISPIDs, reversed arguments and CancelDefault by reference.
#include <windows.h>
// After windows.h, whose types they need.
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/outlook_automation.h"
#include "platform/win32/win32_handles.h"

namespace {

using Arguments = std::vector<VARIANT>;  // in the member's order, borrowed from the caller
using Method = std::function<HRESULT(const Arguments&, VARIANT* result)>;

// An automation object with named members, extra interfaces and connection points.
class CFakeObject : public IDispatch, public IConnectionPointContainer {
 public:
  CFakeObject() = default;
  virtual ~CFakeObject() {
    for (auto& [name, value] : m_properties) {
      VariantClear(&value);
    }
  }

  // A member: property reads and method calls run `method`; puts are recorded.
  void On(const std::wstring& name, Method method) { m_methods[name] = std::move(method); }
  void Returns(const std::wstring& name, IDispatch* object) {
    On(name, [object](const Arguments&, VARIANT* result) {
      result->vt = VT_DISPATCH;
      result->pdispVal = object;
      if (object != nullptr) {
        object->AddRef();
      }
      return S_OK;
    });
  }
  void Returns(const std::wstring& name, long value) {
    On(name, [value](const Arguments&, VARIANT* result) {
      result->vt = VT_I4;
      result->lVal = value;
      return S_OK;
    });
  }
  void Returns(const std::wstring& name, const std::wstring& text) {
    On(name, [text](const Arguments&, VARIANT* result) {
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(text.c_str());
      return S_OK;
    });
  }
  void Also(const IID& iid) { m_extra.push_back(iid); }
  // The value last put into `name` (VT_EMPTY when none), and how it was put.
  const VARIANT& Put(const std::wstring& name) { return m_properties[name]; }
  WORD PutKind(const std::wstring& name) { return m_putKinds[name]; }
  // Plain puts of `name` are refused, as for an object property declared putref only.
  void RefusesPlainPut(const std::wstring& name) { m_refusedPlainPuts.push_back(name); }
  // The arguments of the last call of `name`, kept as they came.
  std::vector<VARTYPE> ArgumentTypes(const std::wstring& name) { return m_argumentTypes[name]; }

  // Fires an event with `arguments` in the event's order to every advised sink.
  void Fire(const IID& events, DISPID id, Arguments arguments) {
    std::reverse(arguments.begin(), arguments.end());
    DISPPARAMS parameters{arguments.empty() ? nullptr : arguments.data(), nullptr,
                          static_cast<UINT>(arguments.size()), 0};
    for (auto& [cookie, sink] : Sinks(events)) {
      sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr);
    }
  }
  std::size_t SinkCount(const IID& events) { return Sinks(events).size(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
      *out = static_cast<IConnectionPointContainer*>(this);
    } else {
      for (const IID& extra : m_extra) {
        if (IsEqualIID(iid, extra)) {
          *out = static_cast<IDispatch*>(this);
        }
      }
    }
    if (*out == nullptr) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nReferences; }
  ULONG STDMETHODCALLTYPE Release() override { return --m_nReferences; }  // owned by the test

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* ids) override {
    const std::wstring name = names[0];
    for (std::size_t i = 0; i < m_ids.size(); ++i) {
      if (m_ids[i] == name) {
        *ids = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    }
    m_ids.push_back(name);
    *ids = static_cast<DISPID>(m_ids.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id < 1 || static_cast<std::size_t>(id) > m_ids.size()) {
      return DISP_E_MEMBERNOTFOUND;
    }
    const std::wstring& name = m_ids[static_cast<std::size_t>(id) - 1];
    Arguments arguments(parameters->rgvarg, parameters->rgvarg + parameters->cArgs);
    std::reverse(arguments.begin(), arguments.end());
    std::vector<VARTYPE>& types = m_argumentTypes[name];
    types.clear();
    for (const VARIANT& argument : arguments) {
      types.push_back(argument.vt);
    }
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
      if (parameters->cNamedArgs != 1 || parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      const bool refused = (flags & DISPATCH_PROPERTYPUT) != 0 &&
                           std::find(m_refusedPlainPuts.begin(), m_refusedPlainPuts.end(), name) !=
                               m_refusedPlainPuts.end();
      if (refused) {
        return DISP_E_MEMBERNOTFOUND;
      }
      m_putKinds[name] = flags;
      VariantCopy(&m_properties[name], &parameters->rgvarg[0]);
      return S_OK;
    }
    const auto method = m_methods.find(name);
    if (method == m_methods.end()) {
      return DISP_E_MEMBERNOTFOUND;
    }
    CVariant ignored;
    return method->second(arguments, result != nullptr ? result : ignored.Receive());
  }

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    for (CPoint& known : m_points) {
      if (IsEqualIID(known.iid, iid)) {
        *point = &known;
        known.AddRef();
        return S_OK;
      }
    }
    *point = nullptr;
    return CONNECT_E_NOCONNECTION;
  }

  // The events this object can fire.
  void Offers(const IID& events) { m_points.emplace_back(events); }

 private:
  // Cookie = slot + 1; a removed sink leaves its slot empty.
  struct CPoint : public IConnectionPoint {
    explicit CPoint(const IID& events) : iid(events) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* out) override {
      *out = iid;
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override {
      return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
      TComPtr<IDispatch> dispatch;
      if (FAILED(sink->QueryInterface(iid, dispatch.ReceiveVoid()))) {
        return CONNECT_E_CANNOTCONNECT;  // a sink must answer for its event interface
      }
      sinks.push_back(std::move(dispatch));
      *cookie = static_cast<DWORD>(sinks.size());
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
      if (cookie == 0 || cookie > sinks.size() || !sinks[cookie - 1]) {
        return CONNECT_E_NOCONNECTION;
      }
      sinks[cookie - 1].Reset();
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
    IID iid;
    std::vector<TComPtr<IDispatch>> sinks;
  };

  std::map<DWORD, IDispatch*> Sinks(const IID& events) {
    std::map<DWORD, IDispatch*> advised;
    for (CPoint& point : m_points) {
      if (IsEqualIID(point.iid, events)) {
        for (std::size_t i = 0; i < point.sinks.size(); ++i) {
          if (point.sinks[i]) {
            advised[static_cast<DWORD>(i + 1)] = point.sinks[i].Get();
          }
        }
      }
    }
    return advised;
  }

  ULONG m_nReferences = 1;
  std::vector<std::wstring> m_ids;
  std::map<std::wstring, Method> m_methods;
  std::map<std::wstring, VARIANT> m_properties;
  std::map<std::wstring, WORD> m_putKinds;
  std::vector<std::wstring> m_refusedPlainPuts;
  std::map<std::wstring, std::vector<VARTYPE>> m_argumentTypes;
  std::vector<IID> m_extra;
  std::vector<CPoint> m_points;
};

IUnknown* UnknownOf(CFakeObject& object) {
  return static_cast<IDispatch*>(&object);
}

class CApplicationEvents : public IApplicationEvents {
 public:
  void OnStartup() override { m_log += L"startup;"; }
  void OnQuit() override { m_log += L"quit;"; }
  std::wstring m_log;
};

class CExplorersEvents : public IExplorersEvents {
 public:
  void OnNewExplorer(const std::shared_ptr<IOutlookExplorer>& explorer) override {
    m_explorers.push_back(explorer);
  }
  std::vector<std::shared_ptr<IOutlookExplorer>> m_explorers;
};

class CButtonEvents : public ICommandBarButtonEvents {
 public:
  void OnClick(const std::shared_ptr<ICommandBarButton>& button, bool* cancelDefault) override {
    ++m_nClicks;
    std::wstring caption;
    if (button) {
      button->GetCaption(&caption);
    }
    m_strCaption = caption;
    m_bCancelSeen = *cancelDefault;
    *cancelDefault = true;
  }
  int m_nClicks = 0;
  std::wstring m_strCaption;
  bool m_bCancelSeen = false;
};

TEST(OutlookAutomationTest, TheApplicationIsReachedOnlyThroughItsOwnInterface) {
  CFakeObject notOutlook;
  std::shared_ptr<IAutomationObject> object = WrapAutomationObject(UnknownOf(notOutlook));
  ASSERT_TRUE(object);
  std::shared_ptr<IOutlookApplication> application;
  EXPECT_EQ(object->QueryOutlookApplication(&application), E_NOINTERFACE);
  EXPECT_FALSE(application);
  EXPECT_FALSE(WrapAutomationObject(nullptr));

  CFakeObject outlook;
  outlook.Also(kIidOutlookApplicationObject);
  outlook.Returns(L"Version", std::wstring(L"11.0.0.8312"));
  object = WrapAutomationObject(UnknownOf(outlook));
  ASSERT_EQ(object->QueryOutlookApplication(&application), S_OK);
  std::wstring version;
  ASSERT_EQ(application->GetVersion(&version), S_OK);
  EXPECT_EQ(version, L"11.0.0.8312");
}

TEST(OutlookAutomationTest, ExplorersAreCountedItemisedAndAnnouncedByEvents) {
  CFakeObject outlook;
  CFakeObject explorers;
  CFakeObject first;
  outlook.Also(kIidOutlookApplicationObject);
  outlook.Offers(kIidOutlookApplicationEvents);
  outlook.Returns(L"Explorers", &explorers);
  outlook.Returns(L"ActiveExplorer", static_cast<IDispatch*>(nullptr));
  explorers.Offers(kIidOutlookExplorersEvents);
  explorers.Returns(L"Count", 7L);
  long askedFor = 0;
  explorers.On(L"Item", [&](const Arguments& arguments, VARIANT* result) {
    if (arguments.size() != 1 || arguments[0].vt != VT_I4) {
      return DISP_E_TYPEMISMATCH;
    }
    askedFor = arguments[0].lVal;
    result->vt = VT_DISPATCH;
    result->pdispVal = &first;
    first.AddRef();
    return S_OK;
  });
  first.Returns(L"Caption", std::wstring(L"Inbox - Outlook"));

  std::shared_ptr<IOutlookApplication> application;
  ASSERT_EQ(WrapAutomationObject(UnknownOf(outlook))->QueryOutlookApplication(&application), S_OK);
  std::shared_ptr<IOutlookExplorer> active;
  EXPECT_EQ(application->GetActiveExplorer(&active), S_OK);
  EXPECT_FALSE(active);  // none active: S_OK and no object
  std::shared_ptr<IOutlookExplorers> list;
  ASSERT_EQ(application->GetExplorers(&list), S_OK);
  std::int32_t count = 0;
  ASSERT_EQ(list->GetCount(&count), S_OK);
  EXPECT_EQ(count, 7);
  std::shared_ptr<IOutlookExplorer> item;
  ASSERT_EQ(list->GetItem(3, &item), S_OK);
  EXPECT_EQ(askedFor, 3);
  EXPECT_TRUE(item);

  // Events: the known DISPIDs reach their handlers, an unknown one is ignored.
  CApplicationEvents applicationSink;
  std::uint32_t cookie = kNotAdvised;
  ASSERT_EQ(application->Advise(&applicationSink, &cookie), S_OK);
  EXPECT_NE(cookie, kNotAdvised);
  outlook.Fire(kIidOutlookApplicationEvents, 0xF006, {});
  outlook.Fire(kIidOutlookApplicationEvents, 0xF00A, {});  // an event the add-in ignores
  outlook.Fire(kIidOutlookApplicationEvents, 0xF007, {});
  EXPECT_EQ(applicationSink.m_log, L"startup;quit;");
  EXPECT_EQ(application->Unadvise(cookie + 100), kConnectNoConnection);
  ASSERT_EQ(application->Unadvise(cookie), S_OK);
  EXPECT_EQ(outlook.SinkCount(kIidOutlookApplicationEvents), 0u);
  outlook.Fire(kIidOutlookApplicationEvents, 0xF007, {});
  EXPECT_EQ(applicationSink.m_log, L"startup;quit;");

  CExplorersEvents explorersSink;
  ASSERT_EQ(list->Advise(&explorersSink, &cookie), S_OK);
  VARIANT argument;
  argument.vt = VT_DISPATCH;
  argument.pdispVal = &first;
  explorers.Fire(kIidOutlookExplorersEvents, 0xF001, {argument});
  ASSERT_EQ(explorersSink.m_explorers.size(), 1u);
  ASSERT_TRUE(explorersSink.m_explorers[0]);
  EXPECT_EQ(list->Unadvise(cookie), S_OK);
}

TEST(OutlookAutomationTest, CommandBarsFindNothingAsNullAndAddWithTheirArgumentsInOrder) {
  CFakeObject bars;
  CFakeObject bar;
  CFakeObject controls;
  CFakeObject button;
  bars.On(L"Item", [](const Arguments&, VARIANT*) { return E_INVALIDARG; });  // no such bar
  bars.Returns(L"Add", &bar);
  bar.Returns(L"Controls", &controls);
  controls.Returns(L"Add", &button);
  button.Returns(L"Type", 1L);

  CFakeObject explorer;
  explorer.Returns(L"CommandBars", &bars);
  CFakeObject outlook;
  CFakeObject explorers;
  outlook.Also(kIidOutlookApplicationObject);
  outlook.Returns(L"ActiveExplorer", &explorer);
  std::shared_ptr<IOutlookApplication> application;
  ASSERT_EQ(WrapAutomationObject(UnknownOf(outlook))->QueryOutlookApplication(&application), S_OK);
  std::shared_ptr<IOutlookExplorer> active;
  ASSERT_EQ(application->GetActiveExplorer(&active), S_OK);
  std::shared_ptr<ICommandBars> commandBars;
  ASSERT_EQ(active->GetCommandBars(&commandBars), S_OK);

  std::shared_ptr<ICommandBar> found;
  EXPECT_EQ(commandBars->FindBar(L"Zenlet", &found), S_OK);
  EXPECT_FALSE(found);
  std::shared_ptr<ICommandBar> added;
  ASSERT_EQ(commandBars->AddBar(L"Zenlet", office::kBarTop, false, true, &added), S_OK);
  EXPECT_EQ(bars.ArgumentTypes(L"Add"), (std::vector<VARTYPE>{VT_BSTR, VT_I4, VT_BOOL, VT_BOOL}));
  ASSERT_EQ(added->SetRowIndex(4), S_OK);
  EXPECT_EQ(bar.Put(L"RowIndex").lVal, 4);

  std::shared_ptr<ICommandBarControls> list;
  ASSERT_EQ(added->GetControls(&list), S_OK);
  std::shared_ptr<ICommandBarControl> control;
  ASSERT_EQ(list->AddControl(office::kControlButton, true, &control), S_OK);
  // Add(Type, Id, Parameter, Before, Temporary): the three in the middle omitted.
  EXPECT_EQ(controls.ArgumentTypes(L"Add"),
            (std::vector<VARTYPE>{VT_I4, VT_ERROR, VT_ERROR, VT_ERROR, VT_BOOL}));
  std::shared_ptr<ICommandBarComboBox> notACombo;
  EXPECT_EQ(control->QueryComboBox(&notACombo), E_NOINTERFACE);
  std::shared_ptr<ICommandBarButton> asButton;
  ASSERT_EQ(control->QueryButton(&asButton), S_OK);
  ASSERT_EQ(asButton->SetCaption(L"Login to Facebook..."), S_OK);
  EXPECT_EQ(std::wstring(button.Put(L"Caption").bstrVal), L"Login to Facebook...");
}

TEST(OutlookAutomationTest, AClickArrivesWithItsButtonAndCancelDefaultGoesBack) {
  CFakeObject button;
  button.Offers(kIidCommandBarButtonEvents);
  button.Returns(L"Type", 1L);
  button.Returns(L"Caption", std::wstring(L"Zenlet"));
  CFakeObject controls;
  controls.Returns(L"Add", &button);
  CFakeObject bar;
  bar.Returns(L"Controls", &controls);
  CFakeObject bars;
  bars.Returns(L"Item", &bar);
  CFakeObject explorer;
  explorer.Returns(L"CommandBars", &bars);
  CFakeObject outlook;
  outlook.Also(kIidOutlookApplicationObject);
  outlook.Returns(L"ActiveExplorer", &explorer);

  std::shared_ptr<IOutlookApplication> application;
  ASSERT_EQ(WrapAutomationObject(UnknownOf(outlook))->QueryOutlookApplication(&application), S_OK);
  std::shared_ptr<IOutlookExplorer> active;
  std::shared_ptr<ICommandBars> commandBars;
  std::shared_ptr<ICommandBar> found;
  std::shared_ptr<ICommandBarControls> list;
  std::shared_ptr<ICommandBarControl> control;
  std::shared_ptr<ICommandBarButton> wrapped;
  ASSERT_EQ(application->GetActiveExplorer(&active), S_OK);
  ASSERT_EQ(active->GetCommandBars(&commandBars), S_OK);
  ASSERT_EQ(commandBars->FindBar(L"Zenlet", &found), S_OK);
  ASSERT_TRUE(found);
  ASSERT_EQ(found->GetControls(&list), S_OK);
  ASSERT_EQ(list->AddControl(office::kControlButton, true, &control), S_OK);
  ASSERT_EQ(control->QueryButton(&wrapped), S_OK);

  CButtonEvents sink;
  std::uint32_t cookie = kNotAdvised;
  ASSERT_EQ(wrapped->Advise(&sink, &cookie), S_OK);
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT ctrl;
  ctrl.vt = VT_DISPATCH;
  ctrl.pdispVal = &button;
  VARIANT cancelDefault;
  cancelDefault.vt = VT_BOOL | VT_BYREF;
  cancelDefault.pboolVal = &cancel;
  button.Fire(kIidCommandBarButtonEvents, 1, {ctrl, cancelDefault});
  EXPECT_EQ(sink.m_nClicks, 1);
  EXPECT_EQ(sink.m_strCaption, L"Zenlet");
  EXPECT_FALSE(sink.m_bCancelSeen);
  EXPECT_EQ(cancel, VARIANT_TRUE);
  button.Fire(kIidCommandBarButtonEvents, 7, {});  // not a click: ignored
  EXPECT_EQ(sink.m_nClicks, 1);

  // The face goes to Office as an OLE picture holding exactly the pixels given.
  PixelImage face;
  face.nWidth = 2;
  face.nHeight = 2;
  face.aPixels = {0x00FDE8D4, 0x003B5998, 0x00FFFFFF, 0x00000000};
  ASSERT_EQ(wrapped->SetPicture(face), S_OK);
  const VARIANT& picture = button.Put(L"Picture");
  ASSERT_EQ(picture.vt, VT_DISPATCH);
  TComPtr<IPicture> ole;
  ASSERT_EQ(picture.pdispVal->QueryInterface(IID_IPicture, ole.ReceiveVoid()), S_OK);
  OLE_HANDLE handle = 0;
  ASSERT_EQ(ole->get_Handle(&handle), S_OK);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 2;
  info.bmiHeader.biHeight = -2;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::uint32_t pixels[4] = {};
  HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDIBits(screen, reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), 0, 2,
                      pixels, &info, DIB_RGB_COLORS),
            2);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(std::vector<std::uint32_t>(pixels, pixels + 4), face.aPixels);
  // Office declares Picture and Mask as plain puts; Set is only the answer to a refusal.
  EXPECT_EQ(button.PutKind(L"Picture"), DISPATCH_PROPERTYPUT);
  button.RefusesPlainPut(L"Mask");
  ASSERT_EQ(wrapped->SetMask(face), S_OK);
  EXPECT_EQ(button.PutKind(L"Mask"), DISPATCH_PROPERTYPUTREF);
  PixelImage empty;
  EXPECT_EQ(wrapped->SetMask(empty), E_INVALIDARG);
  EXPECT_EQ(wrapped->Unadvise(cookie), S_OK);
}

}  // namespace
