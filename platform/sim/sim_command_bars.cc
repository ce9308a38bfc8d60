// Office's command bars and controls, simulated.
#include <algorithm>
#include <cwctype>
#include <iterator>
#include <utility>

#include "platform/clipboard.h"
#include "platform/sim/sim_core.h"
#include "platform/sim/sim_dib.h"
#include "platform/sim/sim_objects.h"

namespace {

// Office's default widths of a new control, in pixels.
std::int32_t DefaultWidth(std::int32_t type) {
  switch (type) {
    case office::kControlButton:
      return 23;
    case office::kControlPopup:
      return 50;
    default:
      return 96;
  }
}

bool IsKnownType(std::int32_t type) {
  return type == office::kControlButton || type == CSimComboBox::kEditBox ||
         type == office::kControlDropdown || type == office::kControlComboBox ||
         type == office::kControlPopup;
}

bool IsKnownStyle(std::int32_t style) {
  // msoButtonAutomatic, Icon, Caption, IconAndCaption, IconAndWrapCaption,
  // IconAndCaptionBelow, WrapCaption, IconAndWrapCaptionBelow.
  static constexpr std::int32_t kStyles[] = {0, 1, 2, 3, 7, 11, 14, 15};
  return std::find(std::begin(kStyles), std::end(kStyles), style) != std::end(kStyles);
}

bool IsWholeImage(const PixelImage& image) {
  return image.nWidth > 0 && image.nHeight > 0 &&
         image.aPixels.size() ==
             static_cast<std::size_t>(image.nWidth) * static_cast<std::size_t>(image.nHeight);
}

// The caption as Office compares it: lower case, without accelerator marks ("&&" is an
// ampersand).
std::wstring CaptionKey(const std::wstring& caption) {
  std::wstring key;
  key.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == L'&') {
      if (i + 1 < caption.size() && caption[i + 1] == L'&') {
        key += L'&';
        ++i;
      }
      continue;
    }
    key += static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(caption[i])));
  }
  return key;
}

constexpr wchar_t kFaceFormatName[] = L"Toolbar Button Face";
constexpr wchar_t kMaskFormatName[] = L"Toolbar Button Mask";
constexpr std::int32_t kBlankFaceSize = 16;

}  // namespace

bool SameCaption(const std::wstring& a, const std::wstring& b) {
  return CaptionKey(a) == CaptionKey(b);
}

// --- CSimObject ------------------------------------------------------------------------------

CSimObject::CSimObject(std::shared_ptr<CSimCore> core) : m_spCore(std::move(core)) {
  ++m_spCore->m_nLiveObjects;
}

CSimObject::~CSimObject() {
  --m_spCore->m_nLiveObjects;
}

HRESULT CSimObject::Enter(std::string_view call) const {
  if (!m_spCore->m_loop.IsLoopThread()) {
    return sim_error::kWrongThread;
  }
  if (m_bDeleted || m_spCore->IsShutDown()) {
    return sim_error::kDisconnected;
  }
  return m_spCore->m_faults.OnCall(call);
}

HRESULT CSimObject::EnterConnection(std::string_view generic, std::string_view specific) const {
  const HRESULT hr = Enter(generic);
  return FAILED(hr) ? hr : m_spCore->m_faults.OnCall(specific);
}

// --- controls --------------------------------------------------------------------------------

CSimControlNode::CSimControlNode(std::shared_ptr<CSimCore> core, const SimControlState& state)
    : CSimObject(std::move(core)), m_state(state) {
  if (m_state.nWidth == 0) {
    m_state.nWidth = DefaultWidth(m_state.nType);
  }
  m_state.nSinks = 0;
  m_state.aMenu.clear();  // a popup keeps its items in its own bar
}

SimControlState CSimControlNode::Read() const {
  SimControlState state = m_state;
  state.nSinks = SinkCount();
  return state;
}

void CSimControlNode::Destroy() {
  m_bDeleted = true;
}

HRESULT CSimControlNode::DeleteFromBar() {
  const HRESULT hr = Enter("CommandBarControl.Delete");
  if (FAILED(hr)) {
    return hr;
  }
  // The bar lets go of the control, which this share keeps until it is destroyed.
  const std::shared_ptr<CSimControlNode> self = shared_from_this();
  Destroy();
  if (m_pParent != nullptr) {
    m_pParent->RemoveControl(this);
  }
  return S_OK;
}

std::shared_ptr<CSimControlNode> MakeSimControl(const std::shared_ptr<CSimCore>& core,
                                                const SimControlState& state) {
  switch (state.nType) {
    case office::kControlButton:
      return std::make_shared<CSimButton>(core, state);
    case CSimComboBox::kEditBox:
    case office::kControlDropdown:
    case office::kControlComboBox:
      return std::make_shared<CSimComboBox>(core, state);
    case office::kControlPopup:
      return std::make_shared<CSimPopup>(core, state);
    default:
      return nullptr;
  }
}

// --- buttons ---------------------------------------------------------------------------------

HRESULT CSimButton::GetStyle(std::int32_t* style) {
  return Get("CommandBarButton.Style", style, m_state.nStyle);
}

HRESULT CSimButton::SetStyle(std::int32_t style) {
  const HRESULT hr = Enter("CommandBarButton.Style=");
  if (FAILED(hr)) {
    return hr;
  }
  if (!IsKnownStyle(style)) {
    return E_INVALIDARG;
  }
  m_state.nStyle = style;
  return S_OK;
}

HRESULT CSimButton::SetPicture(const PixelImage& picture) {
  const HRESULT hr = Enter("CommandBarButton.Picture=");
  if (FAILED(hr)) {
    return hr;
  }
  if (!IsWholeImage(picture)) {
    return E_INVALIDARG;
  }
  m_state.picture = picture;
  m_state.aPastedFace.clear();
  m_state.aPastedMask.clear();
  m_state.bFaceFromDib = false;
  return S_OK;
}

HRESULT CSimButton::SetMask(const PixelImage& mask) {
  const HRESULT hr = Enter("CommandBarButton.Mask=");
  if (FAILED(hr)) {
    return hr;
  }
  if (!IsWholeImage(mask)) {
    return E_INVALIDARG;
  }
  m_state.mask = mask;
  m_state.aPastedFace.clear();
  m_state.aPastedMask.clear();
  m_state.bFaceFromDib = false;
  return S_OK;
}

HRESULT CSimButton::PasteFace() {
  const HRESULT hr = Enter("CommandBarButton.PasteFace");
  if (FAILED(hr)) {
    return hr;
  }
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> entries;
  CSimClipboard& clipboard = m_spCore->m_clipboard;
  if (!clipboard.ReadAll(&entries)) {
    return sim_error::kClipboardCantOpen;
  }
  const std::vector<std::uint8_t>* face = nullptr;
  const std::vector<std::uint8_t>* mask = nullptr;
  const std::vector<std::uint8_t>* dib = nullptr;
  for (const auto& [format, data] : entries) {
    if (data.empty()) {
      continue;
    }
    const std::wstring name = clipboard.FormatName(format);
    if (face == nullptr && SameCaption(name, kFaceFormatName)) {
      face = &data;
    } else if (mask == nullptr && SameCaption(name, kMaskFormatName)) {
      mask = &data;
    } else if (dib == nullptr && format == clipboard_format::kDib) {
      dib = &data;
    }
  }
  if (face == nullptr && dib == nullptr) {
    return E_FAIL;  // nothing Office can paste
  }
  m_state.picture = PixelImage{};
  m_state.mask = PixelImage{};
  m_state.bFaceFromDib = face == nullptr;
  m_state.aPastedFace = face != nullptr ? *face : *dib;
  m_state.aPastedMask = face != nullptr && mask != nullptr ? *mask : std::vector<std::uint8_t>();
  return S_OK;
}

HRESULT CSimButton::CopyFace() {
  const HRESULT hr = Enter("CommandBarButton.CopyFace");
  if (FAILED(hr)) {
    return hr;
  }
  std::vector<std::uint8_t> face;
  std::vector<std::uint8_t> mask;
  PixelImage opaque;  // a mask that hides nothing, for a face that came without one
  if (!m_state.aPastedFace.empty()) {
    face = m_state.aPastedFace;
    mask = m_state.aPastedMask;
    if (mask.empty() && !ReadDibSize(face, &opaque.nWidth, &opaque.nHeight)) {
      opaque.nWidth = opaque.nHeight = kBlankFaceSize;
    }
  } else if (IsWholeImage(m_state.picture)) {
    face = EncodeDib24(m_state.picture);
    if (IsWholeImage(m_state.mask)) {
      mask = EncodeDibMask(m_state.mask);
    } else {
      opaque.nWidth = m_state.picture.nWidth;
      opaque.nHeight = m_state.picture.nHeight;
    }
  } else {
    // A button without a face copies a blank one.
    PixelImage blank{kBlankFaceSize, kBlankFaceSize,
                     std::vector<std::uint32_t>(kBlankFaceSize * kBlankFaceSize, 0x00C0C0C0)};
    face = EncodeDib24(blank);
    opaque.nWidth = opaque.nHeight = kBlankFaceSize;
  }
  if (mask.empty()) {
    opaque.aPixels.assign(static_cast<std::size_t>(std::max(opaque.nWidth, 0)) *
                              static_cast<std::size_t>(std::max(opaque.nHeight, 0)),
                          0);
    mask = EncodeDibMask(opaque);
  }
  CSimClipboard& clipboard = m_spCore->m_clipboard;
  const std::uint32_t faceFormat = clipboard.RegisterFormat(kFaceFormatName);
  const std::uint32_t maskFormat = clipboard.RegisterFormat(kMaskFormatName);
  if (!clipboard.ReplaceAll({{faceFormat, std::move(face)}, {maskFormat, std::move(mask)}})) {
    return sim_error::kClipboardCantOpen;
  }
  return S_OK;
}

HRESULT CSimButton::Advise(ICommandBarButtonEvents* sink, std::uint32_t* cookie) {
  const HRESULT hr = EnterConnection("ConnectionPoint.Advise", "_CommandBarButtonEvents.Advise");
  return FAILED(hr) ? hr : m_events.Advise(sink, cookie);
}

HRESULT CSimButton::Unadvise(std::uint32_t cookie) {
  const HRESULT hr =
      EnterConnection("ConnectionPoint.Unadvise", "_CommandBarButtonEvents.Unadvise");
  return FAILED(hr) ? hr : m_events.Unadvise(cookie);
}

HRESULT CSimButton::QueryButton(std::shared_ptr<ICommandBarButton>* button) {
  return Answer("QueryInterface(CommandBarButton)", button);
}

void CSimButton::Destroy() {
  CSimControlNode::Destroy();
  m_events.Clear();
}

void CSimButton::FireClick(bool* cancelDefault) {
  const std::shared_ptr<ICommandBarButton> self = Self();
  m_events.Fire([&](ICommandBarButtonEvents& sink) { sink.OnClick(self, cancelDefault); });
}

// --- combo boxes -----------------------------------------------------------------------------

HRESULT CSimComboBox::GetText(std::wstring* text) {
  return Get("CommandBarComboBox.Text", text, m_state.strText);
}

HRESULT CSimComboBox::SetText(const std::wstring& text) {
  const HRESULT hr = Enter("CommandBarComboBox.Text=");
  if (FAILED(hr)) {
    return hr;
  }
  if (m_state.nType == office::kControlDropdown) {
    // A drop-down shows only its items: the text chooses one.
    auto it = std::find(m_state.aItems.begin(), m_state.aItems.end(), text);
    if (it == m_state.aItems.end()) {
      return E_INVALIDARG;
    }
    m_state.nListIndex = static_cast<std::int32_t>(it - m_state.aItems.begin()) + 1;
  } else {
    m_state.nListIndex = 0;
  }
  m_state.strText = text;
  return S_OK;
}

HRESULT CSimComboBox::GetListIndex(std::int32_t* index) {
  return Get("CommandBarComboBox.ListIndex", index, m_state.nListIndex);
}

HRESULT CSimComboBox::SetListIndex(std::int32_t index) {
  const HRESULT hr = Enter("CommandBarComboBox.ListIndex=");
  if (FAILED(hr)) {
    return hr;
  }
  if (!HasList()) {
    return E_FAIL;
  }
  if (index < 0 || index > static_cast<std::int32_t>(m_state.aItems.size())) {
    return E_INVALIDARG;
  }
  m_state.nListIndex = index;
  if (index > 0) {
    m_state.strText = m_state.aItems[static_cast<std::size_t>(index - 1)];
  }
  return S_OK;
}

HRESULT CSimComboBox::GetListCount(std::int32_t* count) {
  return Get("CommandBarComboBox.ListCount", count,
             static_cast<std::int32_t>(m_state.aItems.size()));
}

HRESULT CSimComboBox::GetListItem(std::int32_t index, std::wstring* text) {
  if (text == nullptr) {
    return E_POINTER;
  }
  const HRESULT hr = Enter("CommandBarComboBox.List");
  if (FAILED(hr)) {
    return hr;
  }
  if (index < 1 || index > static_cast<std::int32_t>(m_state.aItems.size())) {
    return E_INVALIDARG;
  }
  *text = m_state.aItems[static_cast<std::size_t>(index - 1)];
  return S_OK;
}

HRESULT CSimComboBox::Clear() {
  const HRESULT hr = Enter("CommandBarComboBox.Clear");
  if (FAILED(hr)) {
    return hr;
  }
  m_state.aItems.clear();
  m_state.nListIndex = 0;
  m_state.strText.clear();
  return S_OK;
}

HRESULT CSimComboBox::AddItem(const std::wstring& text) {
  const HRESULT hr = Enter("CommandBarComboBox.AddItem");
  if (FAILED(hr)) {
    return hr;
  }
  if (!HasList()) {
    return E_FAIL;
  }
  m_state.aItems.push_back(text);
  return S_OK;
}

HRESULT CSimComboBox::SetDropDownLines(std::int32_t lines) {
  const HRESULT hr = Enter("CommandBarComboBox.DropDownLines=");
  if (FAILED(hr)) {
    return hr;
  }
  if (lines < 0) {
    return E_INVALIDARG;
  }
  m_state.nDropDownLines = lines;
  return S_OK;
}

HRESULT CSimComboBox::SetDropDownWidth(std::int32_t width) {
  const HRESULT hr = Enter("CommandBarComboBox.DropDownWidth=");
  if (FAILED(hr)) {
    return hr;
  }
  if (width < -1) {
    return E_INVALIDARG;
  }
  m_state.nDropDownWidth = width;
  return S_OK;
}

HRESULT CSimComboBox::Advise(ICommandBarComboBoxEvents* sink, std::uint32_t* cookie) {
  const HRESULT hr = EnterConnection("ConnectionPoint.Advise", "_CommandBarComboBoxEvents.Advise");
  return FAILED(hr) ? hr : m_events.Advise(sink, cookie);
}

HRESULT CSimComboBox::Unadvise(std::uint32_t cookie) {
  const HRESULT hr =
      EnterConnection("ConnectionPoint.Unadvise", "_CommandBarComboBoxEvents.Unadvise");
  return FAILED(hr) ? hr : m_events.Unadvise(cookie);
}

HRESULT CSimComboBox::QueryComboBox(std::shared_ptr<ICommandBarComboBox>* comboBox) {
  return Answer("QueryInterface(CommandBarComboBox)", comboBox);
}

void CSimComboBox::Destroy() {
  CSimControlNode::Destroy();
  m_events.Clear();
}

void CSimComboBox::UserSetsText(const std::wstring& text) {
  m_state.strText = text;
  m_state.nListIndex = 0;
}

void CSimComboBox::UserPicks(std::int32_t index) {
  m_state.nListIndex = index;
  m_state.strText = m_state.aItems[static_cast<std::size_t>(index - 1)];
}

void CSimComboBox::FireChange() {
  const std::shared_ptr<ICommandBarComboBox> self = Self();
  m_events.Fire([&](ICommandBarComboBoxEvents& sink) { sink.OnChange(self); });
}

// --- popups ----------------------------------------------------------------------------------

CSimPopup::CSimPopup(std::shared_ptr<CSimCore> core, const SimControlState& state)
    : CSimControl(core, state) {
  SimBarState menu;
  menu.strName = state.strCaption;
  menu.nPosition = sim_bar_position::kPopup;
  menu.nRowIndex = 0;
  menu.bVisible = false;  // shown while the menu is open
  menu.bTemporary = state.bTemporary;
  menu.aControls = state.aMenu;
  m_spMenu = std::make_shared<CSimCommandBar>(std::move(core), menu, true);
}

HRESULT CSimPopup::GetCommandBar(std::shared_ptr<ICommandBar>* bar) {
  if (bar == nullptr) {
    return E_POINTER;
  }
  *bar = nullptr;
  const HRESULT hr = Enter("CommandBarPopup.CommandBar");
  if (SUCCEEDED(hr)) {
    *bar = m_spMenu;
  }
  return hr;
}

HRESULT CSimPopup::QueryPopup(std::shared_ptr<ICommandBarPopup>* popup) {
  return Answer("QueryInterface(CommandBarPopup)", popup);
}

SimControlState CSimPopup::Read() const {
  SimControlState state = CSimControlNode::Read();
  for (const auto& item : m_spMenu->Controls()) {
    state.aMenu.push_back(item->Read());
  }
  return state;
}

void CSimPopup::Destroy() {
  CSimControlNode::Destroy();
  m_spMenu->Destroy();
}

int CSimPopup::SinkCount() const {
  return m_spMenu->SinkCount();
}

// --- bars ------------------------------------------------------------------------------------

CSimCommandBar::CSimCommandBar(std::shared_ptr<CSimCore> core, const SimBarState& state,
                               bool isMenu)
    : CSimObject(std::move(core)), m_state(state), m_bMenu(isMenu) {
  m_state.aControls.clear();
  for (const SimControlState& control : state.aControls) {
    std::shared_ptr<CSimControlNode> node = MakeSimControl(m_spCore, control);
    if (node) {
      node->SetParent(this);
      m_aControls.push_back(std::move(node));
    }
  }
}

HRESULT CSimCommandBar::GetName(std::wstring* name) {
  return Get("CommandBar.Name", name, m_state.strName);
}

HRESULT CSimCommandBar::GetControls(std::shared_ptr<ICommandBarControls>* controls) {
  if (controls == nullptr) {
    return E_POINTER;
  }
  *controls = nullptr;
  const HRESULT hr = Enter("CommandBar.Controls");
  if (SUCCEEDED(hr)) {
    *controls = std::shared_ptr<ICommandBarControls>(shared_from_this(),
                                                     static_cast<ICommandBarControls*>(this));
  }
  return hr;
}

// A menu's bar goes where its menu opens; its placement cannot be set.
HRESULT CSimCommandBar::EnterPlacement(std::string_view call) const {
  const HRESULT hr = Enter(call);
  return FAILED(hr) ? hr : (m_bMenu ? E_FAIL : S_OK);
}

HRESULT CSimCommandBar::GetPosition(std::int32_t* position) {
  return Get("CommandBar.Position", position, m_state.nPosition);
}

HRESULT CSimCommandBar::SetPosition(std::int32_t position) {
  const HRESULT hr = EnterPlacement("CommandBar.Position=");
  if (FAILED(hr)) {
    return hr;
  }
  if (position < sim_bar_position::kLeft || position > sim_bar_position::kFloating) {
    return E_INVALIDARG;
  }
  m_state.nPosition = position;
  return S_OK;
}

HRESULT CSimCommandBar::GetRowIndex(std::int32_t* rowIndex) {
  return Get("CommandBar.RowIndex", rowIndex, m_state.nRowIndex);
}

HRESULT CSimCommandBar::SetRowIndex(std::int32_t rowIndex) {
  const HRESULT hr = EnterPlacement("CommandBar.RowIndex=");
  if (FAILED(hr)) {
    return hr;
  }
  if (rowIndex < 0) {
    return E_INVALIDARG;
  }
  m_state.nRowIndex = rowIndex;
  return S_OK;
}

HRESULT CSimCommandBar::GetLeft(std::int32_t* left) {
  return Get("CommandBar.Left", left, m_state.nLeft);
}

HRESULT CSimCommandBar::SetLeft(std::int32_t left) {
  const HRESULT hr = EnterPlacement("CommandBar.Left=");
  if (SUCCEEDED(hr)) {
    m_state.nLeft = left;
  }
  return hr;
}

HRESULT CSimCommandBar::GetVisible(bool* visible) {
  return Get("CommandBar.Visible", visible, m_state.bVisible);
}

HRESULT CSimCommandBar::SetVisible(bool visible) {
  const HRESULT hr = EnterPlacement("CommandBar.Visible=");
  if (SUCCEEDED(hr)) {
    m_state.bVisible = visible;
  }
  return hr;
}

HRESULT CSimCommandBar::GetCount(std::int32_t* count) {
  return Get("CommandBarControls.Count", count, static_cast<std::int32_t>(m_aControls.size()));
}

HRESULT CSimCommandBar::FindControl(const std::wstring& caption,
                                    std::shared_ptr<ICommandBarControl>* control) {
  if (control == nullptr) {
    return E_POINTER;
  }
  *control = nullptr;
  const HRESULT hr = Enter("CommandBarControls.Item");
  if (FAILED(hr)) {
    return hr;
  }
  for (const auto& node : m_aControls) {
    if (SameCaption(node->State().strCaption, caption)) {
      *control = node->AsControl();
      break;
    }
  }
  return S_OK;
}

HRESULT CSimCommandBar::AddControl(std::int32_t type, bool temporary,
                                   std::shared_ptr<ICommandBarControl>* control) {
  if (control == nullptr) {
    return E_POINTER;
  }
  *control = nullptr;
  const HRESULT hr = Enter("CommandBarControls.Add");
  if (FAILED(hr)) {
    return hr;
  }
  if (!IsKnownType(type)) {
    return E_INVALIDARG;
  }
  SimControlState state;
  state.nType = type;
  state.bTemporary = temporary || m_state.bTemporary;  // nothing outlives its bar
  std::shared_ptr<CSimControlNode> node = MakeSimControl(m_spCore, state);
  node->SetParent(this);
  m_aControls.push_back(node);
  *control = node->AsControl();
  return S_OK;
}

SimBarState CSimCommandBar::Read() const {
  SimBarState state = m_state;
  for (const auto& node : m_aControls) {
    state.aControls.push_back(node->Read());
  }
  return state;
}

namespace {

void DropTemporary(std::vector<SimControlState>* controls) {
  controls->erase(std::remove_if(controls->begin(), controls->end(),
                                 [](const SimControlState& c) { return c.bTemporary; }),
                  controls->end());
  for (SimControlState& control : *controls) {
    control.nSinks = 0;
    DropTemporary(&control.aMenu);
  }
}

}  // namespace

SimBarState CSimCommandBar::Persistent() const {
  SimBarState state = Read();
  DropTemporary(&state.aControls);
  return state;
}

HRESULT CSimCommandBar::Delete() {
  const HRESULT hr = Enter("CommandBar.Delete");
  if (FAILED(hr)) {
    return hr;
  }
  if (m_bMenu || m_pOwner == nullptr) {
    return E_FAIL;  // a menu's bar goes with its menu
  }
  const std::shared_ptr<CSimCommandBar> self = shared_from_this();
  Destroy();
  m_pOwner->RemoveBar(this);
  return S_OK;
}

void CSimCommandBar::RemoveControl(const CSimControlNode* control) {
  m_aControls.erase(std::remove_if(m_aControls.begin(), m_aControls.end(),
                                   [control](const std::shared_ptr<CSimControlNode>& node) {
                                     return node.get() == control;
                                   }),
                    m_aControls.end());
}

void CSimCommandBar::Destroy() {
  m_bDeleted = true;
  for (const auto& node : m_aControls) {
    node->Destroy();
  }
}

int CSimCommandBar::SinkCount() const {
  int count = 0;
  for (const auto& node : m_aControls) {
    count += node->SinkCount();
  }
  return count;
}

CSimCommandBars::CSimCommandBars(std::shared_ptr<CSimCore> core,
                                 const std::vector<SimBarState>& bars)
    : CSimObject(std::move(core)) {
  for (const SimBarState& bar : bars) {
    m_aBars.push_back(std::make_shared<CSimCommandBar>(m_spCore, bar, false));
    m_aBars.back()->SetOwner(this);
  }
}

void CSimCommandBars::RemoveBar(const CSimCommandBar* bar) {
  m_aBars.erase(std::remove_if(m_aBars.begin(), m_aBars.end(),
                               [bar](const std::shared_ptr<CSimCommandBar>& entry) {
                                 return entry.get() == bar;
                               }),
                m_aBars.end());
}

std::shared_ptr<CSimCommandBar> CSimCommandBars::Find(const std::wstring& name) const {
  for (const auto& bar : m_aBars) {
    if (SameCaption(bar->Placement().strName, name)) {
      return bar;
    }
  }
  return nullptr;
}

HRESULT CSimCommandBars::FindBar(const std::wstring& name, std::shared_ptr<ICommandBar>* bar) {
  if (bar == nullptr) {
    return E_POINTER;
  }
  *bar = nullptr;
  const HRESULT hr = Enter("CommandBars.Item");
  if (SUCCEEDED(hr)) {
    *bar = Find(name);
  }
  return hr;
}

HRESULT CSimCommandBars::AddBar(const std::wstring& name, std::int32_t position, bool menuBar,
                                bool temporary, std::shared_ptr<ICommandBar>* bar) {
  if (bar == nullptr) {
    return E_POINTER;
  }
  *bar = nullptr;
  const HRESULT hr = Enter("CommandBars.Add");
  if (FAILED(hr)) {
    return hr;
  }
  if (position < sim_bar_position::kLeft || position > sim_bar_position::kMenuBar) {
    return E_INVALIDARG;
  }
  SimBarState state;
  state.strName = name;
  if (state.strName.empty()) {
    state.strName = L"Custom " + std::to_wstring(m_aBars.size() + 1);
  }
  if (Find(state.strName)) {
    return E_INVALIDARG;  // bar names are unique
  }
  state.nPosition = position;
  state.bMenuBar = menuBar;
  state.bTemporary = temporary;
  state.bVisible = false;  // a new bar shows once it is made visible
  // Docked on a row of its own below the others at its edge.
  state.nRowIndex = 1;
  for (const auto& other : m_aBars) {
    if (other->Placement().nPosition == position) {
      state.nRowIndex = std::max(state.nRowIndex, other->Placement().nRowIndex + 1);
    }
  }
  auto created = std::make_shared<CSimCommandBar>(m_spCore, state, false);
  created->SetOwner(this);
  m_aBars.push_back(created);
  *bar = created;
  return S_OK;
}

void CSimCommandBars::Destroy() {
  m_bDeleted = true;
  for (const auto& bar : m_aBars) {
    bar->Destroy();
  }
}
