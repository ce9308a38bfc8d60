// The COM test Outlook's automation objects: the host seam's contract through them and back
// through the add-in's adapter, the calling rules of Office's type libraries as a caller
// meets them through IDispatch, and the count of what a caller still holds.
#include <windows.h>
// After windows.h, whose types they need.
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/automation_call.h"
#include "platform/win32/outlook_automation.h"
#include "platform/win32/win32_handles.h"
#include "tests/platform/outlook_host_contract.h"
#include "tools/com_outlook/automation_objects.h"

namespace {

// The simulated Outlook as COM objects, reached by the add-in's adapter.
class CComHostPeer : public CSimHostPeer {
 public:
  CComHostPeer()
      : m_spContext(std::make_shared<CAutomationContext>()),
        m_spApplication(
            TComPtr<IDispatch>::Adopt(NewApplicationObject(m_spContext, m_outlook.Application()))) {
  }

  std::shared_ptr<IAutomationObject> ApplicationArgument() override {
    return WrapAutomationObject(m_spApplication.Get());
  }

 private:
  std::shared_ptr<CAutomationContext> m_spContext;
  TComPtr<IDispatch> m_spApplication;
};

std::unique_ptr<IOutlookHostContractPeer> CreateComHostPeer() {
  return std::make_unique<CComHostPeer>();
}

INSTANTIATE_TEST_SUITE_P(OverCom, OutlookHostContractTest,
                         ::testing::Values(OutlookHostContractTarget{"OverCom",
                                                                     &CreateComHostPeer}),
                         OutlookHostContractTargetName);

// --- Office's calling rules, through IDispatch as any caller meets them ------------------

struct Invoked {
  HRESULT hr = S_OK;
  CVariant result;
  HRESULT scode = S_OK;  // the EXCEPINFO's, for DISP_E_EXCEPTION
  UINT argumentError = 0xFFFF;
};

// `object`.`name` invoked as `flags` with `arguments` in the member's order.
std::unique_ptr<Invoked> Call(IDispatch* object, const wchar_t* name, WORD flags,
                              std::vector<VARIANT> arguments = {}) {
  auto invoked = std::make_unique<Invoked>();
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR member = const_cast<LPOLESTR>(name);
  invoked->hr = object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(invoked->hr)) {
    return invoked;
  }
  std::reverse(arguments.begin(), arguments.end());
  DISPID put = DISPID_PROPERTYPUT;
  const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  DISPPARAMS parameters{arguments.empty() ? nullptr : arguments.data(), isPut ? &put : nullptr,
                        static_cast<UINT>(arguments.size()), isPut ? 1u : 0u};
  EXCEPINFO exception{};
  invoked->hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                               invoked->result.Receive(), &exception, &invoked->argumentError);
  invoked->scode = exception.scode;
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return invoked;
}

TComPtr<IDispatch> ObjectOf(const Invoked& invoked) {
  EXPECT_EQ(invoked.hr, S_OK);
  EXPECT_EQ(invoked.result.Get().vt, VT_DISPATCH);
  return invoked.result.Get().vt == VT_DISPATCH ? TComPtr<IDispatch>(invoked.result.Get().pdispVal)
                                                : TComPtr<IDispatch>();
}

// A 2x1 OLE picture of two pixels.
TComPtr<IDispatch> Picture(std::uint32_t left, std::uint32_t right) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 2;
  info.bmiHeader.biHeight = -1;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  static_cast<std::uint32_t*>(bits)[0] = left;
  static_cast<std::uint32_t*>(bits)[1] = right;
  PICTDESC description{};
  description.cbSizeofstruct = sizeof description;
  description.picType = PICTYPE_BITMAP;
  description.bmp.hbitmap = bitmap;
  TComPtr<IDispatch> picture;
  EXPECT_EQ(OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, picture.ReceiveVoid()),
            S_OK);
  return picture;
}

// An event sink of any interface that notes the types of the arguments of each call.
class CArgumentSink : public TDispatchObject<IDispatch> {
 public:
  using TDispatchObject::TDispatchObject;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    std::vector<VARTYPE> types;
    for (UINT i = 0; i < parameters->cArgs; ++i) {
      types.push_back(parameters->rgvarg[i].vt);
      if (parameters->rgvarg[i].vt == (VT_BOOL | VT_BYREF)) {
        *parameters->rgvarg[i].pboolVal = VARIANT_TRUE;  // cancel Office's own action
      }
    }
    calls.emplace_back(id, types);
    return S_OK;
  }
  std::vector<std::pair<DISPID, std::vector<VARTYPE>>> calls;
};

TEST(AutomationObjectsTest, MembersAnswerOnlyAsTheKindsTheTypeLibraryDeclares) {
  CSimulatedOutlook host;
  auto context = std::make_shared<CAutomationContext>();
  host.outlook.OpenExplorer();
  {
    const TComPtr<IDispatch> application =
        TComPtr<IDispatch>::Adopt(NewApplicationObject(context, host.outlook.Application()));
    TComPtr<IDispatch> outlook;
    ASSERT_EQ(application->QueryInterface(kIidOutlookApplicationObject, outlook.ReceiveVoid()),
              S_OK);

    EXPECT_EQ(Call(outlook.Get(), L"version", DISPATCH_PROPERTYGET)->hr, S_OK);
    EXPECT_EQ(Call(outlook.Get(), L"Version", DISPATCH_METHOD)->hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(outlook.Get(), L"ActiveExplorer", DISPATCH_PROPERTYGET)->hr,
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(outlook.Get(), L"NoSuchMember", DISPATCH_METHOD)->hr, DISP_E_UNKNOWNNAME);
    const auto mistyped = Call(outlook.Get(), L"CreateItem", DISPATCH_METHOD, {VariantOf(nullptr)});
    EXPECT_EQ(mistyped->hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(mistyped->argumentError, 0u);
    EXPECT_EQ(
        Call(outlook.Get(), L"CreateItem", DISPATCH_METHOD, {VariantOf(0L), VariantOf(1L)})->hr,
        DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(outlook.Get(), L"CreateItem", DISPATCH_METHOD)->hr, DISP_E_PARAMNOTOPTIONAL);

    const TComPtr<IDispatch> explorer =
        ObjectOf(*Call(outlook.Get(), L"ActiveExplorer", DISPATCH_METHOD));
    TComPtr<IOleWindow> window;
    ASSERT_EQ(explorer->QueryInterface(IID_IOleWindow, window.ReceiveVoid()), S_OK);
    HWND handle = nullptr;
    EXPECT_EQ(window->GetWindow(&handle), S_OK);
    EXPECT_EQ(reinterpret_cast<WindowHandle>(handle), host.outlook.Explorers()[0].window);

    const TComPtr<IDispatch> bars =
        ObjectOf(*Call(explorer.Get(), L"CommandBars", DISPATCH_PROPERTYGET | DISPATCH_METHOD));
    CVariant name(std::wstring(L"Nothing of that name"));
    const auto lookup = Call(bars.Get(), L"Item", DISPATCH_PROPERTYGET, {name.Get()});
    EXPECT_EQ(lookup->hr, DISP_E_EXCEPTION);
    EXPECT_EQ(lookup->scode, E_INVALIDARG);
    CVariant barName(std::wstring(L"Rules"));
    const TComPtr<IDispatch> bar =
        ObjectOf(*Call(bars.Get(), L"Add", DISPATCH_METHOD,
                       {barName.Get(), VariantOf(1L), VariantOf(false), VariantOf(true)}));
    EXPECT_EQ(Call(bar.Get(), L"Visible", DISPATCH_PROPERTYPUT, {VariantOf(true)})->hr, S_OK);
    const TComPtr<IDispatch> controls =
        ObjectOf(*Call(bar.Get(), L"Controls", DISPATCH_PROPERTYGET));
    // Add(Type, Id, Parameter, Before, Temporary), the middle three omitted.
    const TComPtr<IDispatch> button =
        ObjectOf(*Call(controls.Get(), L"Add", DISPATCH_METHOD,
                       {VariantOf(1L), Missing(), Missing(), Missing(), VariantOf(true)}));

    // A picture is a plain put; Set (by reference) is not what Office declares.
    const TComPtr<IDispatch> face = Picture(0x123456, 0xFDE8D4);
    EXPECT_EQ(Call(button.Get(), L"Picture", DISPATCH_PROPERTYPUTREF, {VariantOf(face.Get())})->hr,
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(host.outlook.ReadBar(1, L"Rules")->aControls[0].picture.nWidth, 0);
    EXPECT_EQ(Call(button.Get(), L"Picture", DISPATCH_PROPERTYPUT, {VariantOf(face.Get())})->hr,
              S_OK);
    EXPECT_EQ(host.outlook.ReadBar(1, L"Rules")->aControls[0].picture.aPixels,
              (std::vector<std::uint32_t>{0x123456, 0xFDE8D4}));
    EXPECT_EQ(Call(button.Get(), L"Caption", DISPATCH_METHOD)->hr, DISP_E_MEMBERNOTFOUND);
    const auto failed = Call(button.Get(), L"Width", DISPATCH_PROPERTYPUT, {VariantOf(-5L)});
    EXPECT_EQ(failed->hr, DISP_E_EXCEPTION);
    EXPECT_EQ(failed->scode, E_INVALIDARG);

    // Click(Ctrl, CancelDefault): last first, the flag by reference and read back.
    TComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(button->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid()), S_OK);
    TComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(kIidCommandBarButtonEvents, point.Receive()), S_OK);
    const TComPtr<CArgumentSink> wrongKind(new CArgumentSink(kIidOutlookExplorerEvents));
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(wrongKind.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
    const TComPtr<CArgumentSink> sink(new CArgumentSink(kIidCommandBarButtonEvents));
    ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
    EXPECT_TRUE(host.outlook.PressButton(1, SimControlPath::At(L"Rules", 1)).Ok());
    ASSERT_EQ(sink->calls.size(), 1u);
    EXPECT_EQ(sink->calls[0].first, 1);
    EXPECT_EQ(sink->calls[0].second, (std::vector<VARTYPE>{VT_BOOL | VT_BYREF, VT_DISPATCH}));
    EXPECT_EQ(point->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(host.outlook.ExplorerSinkCount(1), 0);
  }
  // Everything the caller took is given back: nothing is counted alive.
  EXPECT_TRUE(context->LiveObjects().empty());
}

TEST(AutomationObjectsTest, ObjectsStillHeldAreCountedAndCallsAfterTearDownReported) {
  CSimulatedOutlook host;
  auto context = std::make_shared<CAutomationContext>();
  host.outlook.OpenExplorer();
  IDispatch* application = NewApplicationObject(context, host.outlook.Application());
  IDispatch* explorer = ObjectOf(*Call(application, L"ActiveExplorer", DISPATCH_METHOD)).Detach();
  application->Release();
  EXPECT_EQ(context->LiveObjects(), (std::map<std::string, int>{{"Explorer", 1}}));

  std::vector<std::string> late;
  context->TearDown(
      [&](const std::string& kind, const char* call) { late.push_back(kind + "." + call); });
  // What a DLL's static destructors would do once Outlook has gone.
  explorer->Release();
  EXPECT_EQ(late, std::vector<std::string>{"Explorer.Release"});
}

}  // namespace
