#include "platform/win32/outlook_automation.h"

#include <windows.h>
// After windows.h, whose types they need.
#include <ocidl.h>
#include <olectl.h>
#include <oleidl.h>

#include <cstring>
#include <vector>

#include "platform/win32/automation_call.h"
#include "platform/win32/automation_events.h"
#include "platform/win32/win32_handles.h"

const IID kIidOutlookApplicationEvents = {
    0x0006304e, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidOutlookExplorersEvents = {
    0x00063078, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidOutlookExplorerEvents = {
    0x0006304f, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidCommandBarButtonEvents = {
    0x000c0351, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidCommandBarComboBoxEvents = {
    0x000c0354, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidOutlookApplicationObject = {
    0x00063001, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidOutlookMailItem = {
    0x00063034, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

// What every wrapper holds: the object's IDispatch and the sinks advised on it.
class CAutomationBase {
 public:
  explicit CAutomationBase(TComPtr<IDispatch> object) : m_spObject(std::move(object)) {}

 protected:
  IDispatch* Object() const { return m_spObject.Get(); }

  HRESULT PutLong(const wchar_t* name, long value) {
    return PutProperty(Object(), name, VariantOf(value));
  }
  HRESULT PutBool(const wchar_t* name, bool value) {
    return PutProperty(Object(), name, VariantOf(value));
  }
  HRESULT PutString(const wchar_t* name, const std::wstring& text) {
    CVariant value(text);
    return PutProperty(Object(), name, value.Get());
  }
  HRESULT ReadInt(const wchar_t* name, std::int32_t* value) {
    long number = 0;
    const HRESULT hr = GetLong(Object(), name, &number);
    if (SUCCEEDED(hr)) {
      *value = static_cast<std::int32_t>(number);
    }
    return hr;
  }

  CEventConnections m_connections;

 private:
  TComPtr<IDispatch> m_spObject;
};

// Makes the wrapper `Wrapper` of an object property or method result; null stays null.
template <typename Interface, typename Wrapper>
HRESULT Wrap(HRESULT hr, TComPtr<IDispatch>& object, std::shared_ptr<Interface>* out) {
  out->reset();
  if (SUCCEEDED(hr) && object) {
    *out = std::make_shared<Wrapper>(std::move(object));
  }
  return FAILED(hr) ? hr : S_OK;
}

// Office answers a name it does not know with an error: for a lookup that is "none".
HRESULT Lookup(HRESULT hr) {
  return hr == E_INVALIDARG || hr == DISP_E_EXCEPTION || hr == DISP_E_BADINDEX ? S_OK : hr;
}

// --- command bars --------------------------------------------------------------------------

class CCommandBarWrapper;

// An OLE picture (IPictureDisp) owning a 32-bit DIB section of `image`.
HRESULT PictureOf(const PixelImage& image, TComPtr<IDispatch>* picture) {
  if (image.nWidth <= 0 || image.nHeight <= 0 ||
      image.aPixels.size() != static_cast<std::size_t>(image.nWidth) * image.nHeight) {
    return E_INVALIDARG;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = image.nWidth;
  info.bmiHeader.biHeight = -image.nHeight;  // rows from the top, as the pixels are
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) {
    return E_OUTOFMEMORY;
  }
  std::memcpy(bits, image.aPixels.data(), image.aPixels.size() * sizeof(std::uint32_t));
  PICTDESC description{};
  description.cbSizeofstruct = sizeof(description);
  description.picType = PICTYPE_BITMAP;
  description.bmp.hbitmap = bitmap;
  const HRESULT hr =
      OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, picture->ReceiveVoid());
  if (FAILED(hr)) {
    DeleteObject(bitmap);  // the picture did not take it over
  }
  return hr;
}

template <typename Interface>
class TControlWrapper : public Interface, protected CAutomationBase {
 public:
  explicit TControlWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}

  HRESULT GetType(std::int32_t* type) override { return ReadInt(L"Type", type); }
  HRESULT GetTag(std::wstring* tag) override { return GetString(Object(), L"Tag", tag); }
  HRESULT SetTag(const std::wstring& tag) override { return PutString(L"Tag", tag); }
  HRESULT GetCaption(std::wstring* caption) override {
    return GetString(Object(), L"Caption", caption);
  }
  HRESULT SetCaption(const std::wstring& caption) override {
    return PutString(L"Caption", caption);
  }
  HRESULT GetTooltipText(std::wstring* text) override {
    return GetString(Object(), L"TooltipText", text);
  }
  HRESULT SetTooltipText(const std::wstring& text) override {
    return PutString(L"TooltipText", text);
  }
  HRESULT GetBeginGroup(bool* beginGroup) override {
    return GetBool(Object(), L"BeginGroup", beginGroup);
  }
  HRESULT SetBeginGroup(bool beginGroup) override { return PutBool(L"BeginGroup", beginGroup); }
  HRESULT GetVisible(bool* visible) override { return GetBool(Object(), L"Visible", visible); }
  HRESULT SetVisible(bool visible) override { return PutBool(L"Visible", visible); }
  HRESULT GetEnabled(bool* enabled) override { return GetBool(Object(), L"Enabled", enabled); }
  HRESULT SetEnabled(bool enabled) override { return PutBool(L"Enabled", enabled); }
  HRESULT GetWidth(std::int32_t* width) override { return ReadInt(L"Width", width); }
  HRESULT SetWidth(std::int32_t width) override { return PutLong(L"Width", width); }
  HRESULT Delete() override { return CallMethod(Object(), L"Delete", {Missing()}); }

  HRESULT QueryButton(std::shared_ptr<ICommandBarButton>* button) override;
  HRESULT QueryComboBox(std::shared_ptr<ICommandBarComboBox>* comboBox) override;
  HRESULT QueryPopup(std::shared_ptr<ICommandBarPopup>* popup) override;

 protected:
  // The same object as another kind of control, when its Type is one of `types`.
  template <typename Other, typename Wrapper>
  HRESULT QueryKind(std::initializer_list<std::int32_t> types, std::shared_ptr<Other>* out) {
    out->reset();
    std::int32_t type = 0;
    const HRESULT hr = GetType(&type);
    if (FAILED(hr)) {
      return hr;
    }
    for (const std::int32_t kind : types) {
      if (kind == type) {
        *out = std::make_shared<Wrapper>(TComPtr<IDispatch>(Object()));
        return S_OK;
      }
    }
    return E_NOINTERFACE;
  }
};

class CButtonWrapper : public TControlWrapper<ICommandBarButton> {
 public:
  using TControlWrapper::TControlWrapper;

  HRESULT GetStyle(std::int32_t* style) override { return ReadInt(L"Style", style); }
  HRESULT SetStyle(std::int32_t style) override { return PutLong(L"Style", style); }
  HRESULT SetPicture(const PixelImage& picture) override { return PutPicture(L"Picture", picture); }
  HRESULT SetMask(const PixelImage& mask) override { return PutPicture(L"Mask", mask); }
  HRESULT PasteFace() override { return CallMethod(Object(), L"PasteFace", {}); }
  HRESULT CopyFace() override { return CallMethod(Object(), L"CopyFace", {}); }

  // Click(Ctrl, CancelDefault): the button, then Office's flag by reference.
  HRESULT Advise(ICommandBarButtonEvents* sink, std::uint32_t* cookie) override {
    EventTable table;
    table[event_dispid::kButtonClick] = [sink](const DISPPARAMS& parameters) {
      std::shared_ptr<ICommandBarButton> button;
      if (IDispatch* ctrl = EventObjectArgument(parameters, 0)) {
        button = std::make_shared<CButtonWrapper>(TComPtr<IDispatch>(ctrl));
      }
      VARIANT_BOOL* flag = EventBoolReference(parameters, 1);
      bool cancel = flag != nullptr && *flag != VARIANT_FALSE;
      sink->OnClick(button, &cancel);
      if (flag != nullptr) {
        *flag = cancel ? VARIANT_TRUE : VARIANT_FALSE;
      }
    };
    return m_connections.Advise(Object(), kIidCommandBarButtonEvents, std::move(table), cookie);
  }
  HRESULT Unadvise(std::uint32_t cookie) override { return m_connections.Unadvise(cookie); }

 private:
  HRESULT PutPicture(const wchar_t* name, const PixelImage& image) {
    TComPtr<IDispatch> picture;
    const HRESULT hr = PictureOf(image, &picture);
    return FAILED(hr) ? hr : PutObjectProperty(Object(), name, picture.Get());
  }
};

class CComboBoxWrapper : public TControlWrapper<ICommandBarComboBox> {
 public:
  using TControlWrapper::TControlWrapper;

  HRESULT GetText(std::wstring* text) override { return GetString(Object(), L"Text", text); }
  HRESULT SetText(const std::wstring& text) override { return PutString(L"Text", text); }
  HRESULT GetListIndex(std::int32_t* index) override { return ReadInt(L"ListIndex", index); }
  HRESULT SetListIndex(std::int32_t index) override { return PutLong(L"ListIndex", index); }
  HRESULT GetListCount(std::int32_t* count) override { return ReadInt(L"ListCount", count); }
  HRESULT GetListItem(std::int32_t index, std::wstring* text) override {
    CVariant value;
    HRESULT hr = GetProperty(Object(), L"List", value.Receive(), {VariantOf(long{index})});
    if (SUCCEEDED(hr)) {
      hr = VariantChangeType(value.Address(), value.Address(), 0, VT_BSTR);
    }
    if (SUCCEEDED(hr)) {
      *text = CBstrView(value.Get().bstrVal);
    }
    return hr;
  }
  HRESULT Clear() override { return CallMethod(Object(), L"Clear", {}); }
  HRESULT AddItem(const std::wstring& text) override {
    CVariant item(text);
    return CallMethod(Object(), L"AddItem", {item.Get(), Missing()});
  }
  HRESULT SetDropDownLines(std::int32_t lines) override { return PutLong(L"DropDownLines", lines); }
  HRESULT SetDropDownWidth(std::int32_t width) override { return PutLong(L"DropDownWidth", width); }

  // Change(Ctrl).
  HRESULT Advise(ICommandBarComboBoxEvents* sink, std::uint32_t* cookie) override {
    EventTable table;
    table[event_dispid::kComboBoxChange] = [sink](const DISPPARAMS& parameters) {
      std::shared_ptr<ICommandBarComboBox> comboBox;
      if (IDispatch* ctrl = EventObjectArgument(parameters, 0)) {
        comboBox = std::make_shared<CComboBoxWrapper>(TComPtr<IDispatch>(ctrl));
      }
      sink->OnChange(comboBox);
    };
    return m_connections.Advise(Object(), kIidCommandBarComboBoxEvents, std::move(table), cookie);
  }
  HRESULT Unadvise(std::uint32_t cookie) override { return m_connections.Unadvise(cookie); }

 private:
  static std::wstring CBstrView(BSTR text) {
    return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text));
  }
};

class CPopupWrapper : public TControlWrapper<ICommandBarPopup> {
 public:
  using TControlWrapper::TControlWrapper;
  HRESULT GetCommandBar(std::shared_ptr<ICommandBar>* bar) override;
};

using CControlWrapper = TControlWrapper<ICommandBarControl>;

template <typename Interface>
HRESULT TControlWrapper<Interface>::QueryButton(std::shared_ptr<ICommandBarButton>* button) {
  return QueryKind<ICommandBarButton, CButtonWrapper>({office::kControlButton}, button);
}

template <typename Interface>
HRESULT TControlWrapper<Interface>::QueryComboBox(std::shared_ptr<ICommandBarComboBox>* comboBox) {
  // msoControlEdit (2) is a combo box too.
  return QueryKind<ICommandBarComboBox, CComboBoxWrapper>(
      {2, office::kControlDropdown, office::kControlComboBox}, comboBox);
}

template <typename Interface>
HRESULT TControlWrapper<Interface>::QueryPopup(std::shared_ptr<ICommandBarPopup>* popup) {
  return QueryKind<ICommandBarPopup, CPopupWrapper>({office::kControlPopup}, popup);
}

class CControlsWrapper : public ICommandBarControls, private CAutomationBase {
 public:
  explicit CControlsWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}

  HRESULT GetCount(std::int32_t* count) override { return ReadInt(L"Count", count); }
  HRESULT FindControl(const std::wstring& caption,
                      std::shared_ptr<ICommandBarControl>* control) override {
    CVariant index(caption);
    TComPtr<IDispatch> found;
    const HRESULT hr = Lookup(GetObjectProperty(Object(), L"Item", &found, {index.Get()}));
    return Wrap<ICommandBarControl, CControlWrapper>(hr, found, control);
  }
  HRESULT AddControl(std::int32_t type, bool temporary,
                     std::shared_ptr<ICommandBarControl>* control) override {
    TComPtr<IDispatch> added;
    const HRESULT hr = CallForObject(
        Object(), L"Add",
        {VariantOf(long{type}), Missing(), Missing(), Missing(), VariantOf(temporary)}, &added);
    return Wrap<ICommandBarControl, CControlWrapper>(hr, added, control);
  }
};

class CCommandBarWrapper : public ICommandBar, private CAutomationBase {
 public:
  explicit CCommandBarWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}

  HRESULT GetName(std::wstring* name) override { return GetString(Object(), L"Name", name); }
  HRESULT GetControls(std::shared_ptr<ICommandBarControls>* controls) override {
    TComPtr<IDispatch> found;
    const HRESULT hr = GetObjectProperty(Object(), L"Controls", &found);
    return Wrap<ICommandBarControls, CControlsWrapper>(hr, found, controls);
  }
  HRESULT GetPosition(std::int32_t* position) override { return ReadInt(L"Position", position); }
  HRESULT SetPosition(std::int32_t position) override { return PutLong(L"Position", position); }
  HRESULT GetRowIndex(std::int32_t* rowIndex) override { return ReadInt(L"RowIndex", rowIndex); }
  HRESULT SetRowIndex(std::int32_t rowIndex) override { return PutLong(L"RowIndex", rowIndex); }
  HRESULT GetLeft(std::int32_t* left) override { return ReadInt(L"Left", left); }
  HRESULT SetLeft(std::int32_t left) override { return PutLong(L"Left", left); }
  HRESULT GetVisible(bool* visible) override { return GetBool(Object(), L"Visible", visible); }
  HRESULT SetVisible(bool visible) override { return PutBool(L"Visible", visible); }
  HRESULT Delete() override { return CallMethod(Object(), L"Delete", {}); }
};

HRESULT CPopupWrapper::GetCommandBar(std::shared_ptr<ICommandBar>* bar) {
  TComPtr<IDispatch> found;
  const HRESULT hr = GetObjectProperty(Object(), L"CommandBar", &found);
  return Wrap<ICommandBar, CCommandBarWrapper>(hr, found, bar);
}

class CCommandBarsWrapper : public ICommandBars, private CAutomationBase {
 public:
  explicit CCommandBarsWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}

  HRESULT FindBar(const std::wstring& name, std::shared_ptr<ICommandBar>* bar) override {
    CVariant index(name);
    TComPtr<IDispatch> found;
    const HRESULT hr = Lookup(GetObjectProperty(Object(), L"Item", &found, {index.Get()}));
    return Wrap<ICommandBar, CCommandBarWrapper>(hr, found, bar);
  }
  HRESULT AddBar(const std::wstring& name, std::int32_t position, bool menuBar, bool temporary,
                 std::shared_ptr<ICommandBar>* bar) override {
    CVariant barName(name);
    TComPtr<IDispatch> added;
    const HRESULT hr = CallForObject(
        Object(), L"Add",
        {barName.Get(), VariantOf(long{position}), VariantOf(menuBar), VariantOf(temporary)},
        &added);
    return Wrap<ICommandBar, CCommandBarWrapper>(hr, added, bar);
  }
};

// --- Outlook -------------------------------------------------------------------------------

class CMailItemWrapper : public IOutlookMailItem, private CAutomationBase {
 public:
  explicit CMailItemWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}
  HRESULT SetSubject(const std::wstring& subject) override {
    return PutString(L"Subject", subject);
  }
  HRESULT SetTo(const std::wstring& to) override { return PutString(L"To", to); }
  HRESULT Display() override { return CallMethod(Object(), L"Display", {Missing()}); }
};

class CItemWrapper : public IOutlookItem, private CAutomationBase {
 public:
  explicit CItemWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}
  HRESULT QueryMailItem(std::shared_ptr<IOutlookMailItem>* mailItem) override {
    mailItem->reset();
    TComPtr<IDispatch> mail;
    const HRESULT hr = Object()->QueryInterface(kIidOutlookMailItem, mail.ReceiveVoid());
    if (FAILED(hr) || !mail) {
      return E_NOINTERFACE;
    }
    *mailItem = std::make_shared<CMailItemWrapper>(std::move(mail));
    return S_OK;
  }
};

class CFolderWrapper : public IOutlookFolder, private CAutomationBase {
 public:
  explicit CFolderWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}
  HRESULT GetItemCount(std::int32_t* count) override {
    TComPtr<IDispatch> items;
    HRESULT hr = GetObjectProperty(Object(), L"Items", &items);
    if (SUCCEEDED(hr) && !items) {
      hr = E_FAIL;
    }
    long number = 0;
    if (SUCCEEDED(hr)) {
      hr = GetLong(items.Get(), L"Count", &number);
    }
    if (SUCCEEDED(hr)) {
      *count = static_cast<std::int32_t>(number);
    }
    return hr;
  }
};

class CNameSpaceWrapper : public IOutlookNameSpace, private CAutomationBase {
 public:
  explicit CNameSpaceWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}
  HRESULT GetDefaultFolder(std::int32_t folderType,
                           std::shared_ptr<IOutlookFolder>* folder) override {
    TComPtr<IDispatch> found;
    HRESULT hr =
        CallForObject(Object(), L"GetDefaultFolder", {VariantOf(long{folderType})}, &found);
    if (SUCCEEDED(hr) && !found) {
      hr = E_FAIL;
    }
    return Wrap<IOutlookFolder, CFolderWrapper>(hr, found, folder);
  }
};

class CExplorerWrapper : public IOutlookExplorer, private CAutomationBase {
 public:
  explicit CExplorerWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}

  HRESULT GetCommandBars(std::shared_ptr<ICommandBars>* bars) override {
    TComPtr<IDispatch> found;
    const HRESULT hr = GetObjectProperty(Object(), L"CommandBars", &found);
    return Wrap<ICommandBars, CCommandBarsWrapper>(hr, found, bars);
  }
  HRESULT GetWindow(WindowHandle* window) override {
    TComPtr<IOleWindow> oleWindow;
    HRESULT hr = Object()->QueryInterface(IID_IOleWindow, oleWindow.ReceiveVoid());
    HWND handle = nullptr;
    if (SUCCEEDED(hr)) {
      hr = oleWindow->GetWindow(&handle);
    }
    if (SUCCEEDED(hr)) {
      *window = reinterpret_cast<WindowHandle>(handle);
    }
    return hr;
  }
  HRESULT Advise(IExplorerEvents* sink, std::uint32_t* cookie) override {
    EventTable table;
    table[event_dispid::kExplorerActivate] = [sink](const DISPPARAMS&) { sink->OnActivate(); };
    table[event_dispid::kExplorerSelectionChange] = [sink](const DISPPARAMS&) {
      sink->OnSelectionChange();
    };
    table[event_dispid::kExplorerClose] = [sink](const DISPPARAMS&) { sink->OnClose(); };
    return m_connections.Advise(Object(), kIidOutlookExplorerEvents, std::move(table), cookie);
  }
  HRESULT Unadvise(std::uint32_t cookie) override { return m_connections.Unadvise(cookie); }
};

class CExplorersWrapper : public IOutlookExplorers, private CAutomationBase {
 public:
  explicit CExplorersWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}

  HRESULT GetCount(std::int32_t* count) override { return ReadInt(L"Count", count); }
  HRESULT GetItem(std::int32_t index, std::shared_ptr<IOutlookExplorer>* explorer) override {
    TComPtr<IDispatch> found;
    HRESULT hr = CallForObject(Object(), L"Item", {VariantOf(long{index})}, &found);
    if (SUCCEEDED(hr) && !found) {
      hr = E_INVALIDARG;
    }
    return Wrap<IOutlookExplorer, CExplorerWrapper>(hr, found, explorer);
  }
  // NewExplorer(Explorer).
  HRESULT Advise(IExplorersEvents* sink, std::uint32_t* cookie) override {
    EventTable table;
    table[event_dispid::kExplorersNewExplorer] = [sink](const DISPPARAMS& parameters) {
      std::shared_ptr<IOutlookExplorer> explorer;
      if (IDispatch* object = EventObjectArgument(parameters, 0)) {
        explorer = std::make_shared<CExplorerWrapper>(TComPtr<IDispatch>(object));
      }
      sink->OnNewExplorer(explorer);
    };
    return m_connections.Advise(Object(), kIidOutlookExplorersEvents, std::move(table), cookie);
  }
  HRESULT Unadvise(std::uint32_t cookie) override { return m_connections.Unadvise(cookie); }
};

class CApplicationWrapper : public IOutlookApplication, private CAutomationBase {
 public:
  explicit CApplicationWrapper(TComPtr<IDispatch> object) : CAutomationBase(std::move(object)) {}

  HRESULT GetVersion(std::wstring* version) override {
    return GetString(Object(), L"Version", version);
  }
  HRESULT GetExplorers(std::shared_ptr<IOutlookExplorers>* explorers) override {
    TComPtr<IDispatch> found;
    const HRESULT hr = GetObjectProperty(Object(), L"Explorers", &found);
    return Wrap<IOutlookExplorers, CExplorersWrapper>(hr, found, explorers);
  }
  HRESULT GetActiveExplorer(std::shared_ptr<IOutlookExplorer>* explorer) override {
    TComPtr<IDispatch> found;
    const HRESULT hr = CallForObject(Object(), L"ActiveExplorer", {}, &found);
    return Wrap<IOutlookExplorer, CExplorerWrapper>(hr, found, explorer);
  }
  HRESULT CreateItem(std::int32_t itemType, std::shared_ptr<IOutlookItem>* item) override {
    TComPtr<IDispatch> created;
    const HRESULT hr =
        CallForObject(Object(), L"CreateItem", {VariantOf(long{itemType})}, &created);
    return Wrap<IOutlookItem, CItemWrapper>(hr, created, item);
  }
  HRESULT GetSession(std::shared_ptr<IOutlookNameSpace>* nameSpace) override {
    TComPtr<IDispatch> found;
    const HRESULT hr = GetObjectProperty(Object(), L"Session", &found);
    return Wrap<IOutlookNameSpace, CNameSpaceWrapper>(hr, found, nameSpace);
  }
  HRESULT Advise(IApplicationEvents* sink, std::uint32_t* cookie) override {
    EventTable table;
    table[event_dispid::kApplicationStartup] = [sink](const DISPPARAMS&) { sink->OnStartup(); };
    table[event_dispid::kApplicationQuit] = [sink](const DISPPARAMS&) { sink->OnQuit(); };
    return m_connections.Advise(Object(), kIidOutlookApplicationEvents, std::move(table), cookie);
  }
  HRESULT Unadvise(std::uint32_t cookie) override { return m_connections.Unadvise(cookie); }
};

class CAutomationObjectWrapper : public IAutomationObject {
 public:
  explicit CAutomationObjectWrapper(TComPtr<IDispatch> object) : m_spObject(std::move(object)) {}
  HRESULT QueryOutlookApplication(std::shared_ptr<IOutlookApplication>* application) override {
    application->reset();
    TComPtr<IDispatch> outlook;
    const HRESULT hr =
        m_spObject->QueryInterface(kIidOutlookApplicationObject, outlook.ReceiveVoid());
    if (FAILED(hr) || !outlook) {
      return E_NOINTERFACE;
    }
    *application = std::make_shared<CApplicationWrapper>(std::move(outlook));
    return S_OK;
  }

 private:
  TComPtr<IDispatch> m_spObject;
};

}  // namespace

std::shared_ptr<IAutomationObject> WrapAutomationObject(IUnknown* object) {
  TComPtr<IDispatch> dispatch;
  if (object == nullptr || FAILED(object->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid())) ||
      !dispatch) {
    return nullptr;
  }
  return std::make_shared<CAutomationObjectWrapper>(std::move(dispatch));
}
