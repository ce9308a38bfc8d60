// The simulated Outlook's objects behind the host seam: the application with its explorers,
// items and folders, and Office's command bars with their controls. Internal to the
// simulation; tests and programs use CSimOutlook.
//
// Every call first checks, in this order: Outlook's main thread (else
// sim_error::kWrongThread), a live object in a live Outlook (else sim_error::kDisconnected),
// then the fault plan under the call's name. Out pointers that are null give E_POINTER.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/outlook_host.h"
#include "platform/sim/sim_connection_point.h"
#include "platform/sim/sim_state.h"

class CSimCore;
class CSimCommandBar;
class CSimCommandBars;

// What every simulated object shares: its Outlook and whether it still exists. Each one is
// counted among its Outlook's live objects for as long as it is allocated.
class CSimObject {
 public:
  bool IsDeleted() const { return m_bDeleted; }

 protected:
  explicit CSimObject(std::shared_ptr<CSimCore> core);
  ~CSimObject();
  CSimObject(const CSimObject&) = delete;
  CSimObject& operator=(const CSimObject&) = delete;

  HRESULT Enter(std::string_view call) const;
  // Advise and Unadvise answer to the generic name and to their source's own.
  HRESULT EnterConnection(std::string_view generic, std::string_view specific) const;

  template <class T>
  HRESULT Get(std::string_view call, T* out, const T& value) const {
    if (out == nullptr) {
      return E_POINTER;
    }
    const HRESULT hr = Enter(call);
    if (SUCCEEDED(hr)) {
      *out = value;
    }
    return hr;
  }

  template <class T>
  HRESULT Put(std::string_view call, T* field, const T& value) {
    const HRESULT hr = Enter(call);
    if (SUCCEEDED(hr)) {
      *field = value;
    }
    return hr;
  }

  std::shared_ptr<CSimCore> m_spCore;
  bool m_bDeleted = false;
};

// --- Office command bars -------------------------------------------------------------------

// Any control, as its bar and the driver see it.
class CSimControlNode : public CSimObject, public std::enable_shared_from_this<CSimControlNode> {
 public:
  CSimControlNode(std::shared_ptr<CSimCore> core, const SimControlState& state);
  virtual ~CSimControlNode() = default;

  virtual std::shared_ptr<ICommandBarControl> AsControl() = 0;
  virtual SimControlState Read() const;
  // The window went away: the control answers as deleted and drops its sinks.
  virtual void Destroy();
  virtual int SinkCount() const { return 0; }
  // A popup's own bar; null for other controls.
  virtual CSimCommandBar* Menu() const { return nullptr; }

  const SimControlState& State() const { return m_state; }
  // The bar the control stands on; the bar sets it and outlives it in use, because a
  // destroyed control never reaches it.
  void SetParent(CSimCommandBar* parent) { m_pParent = parent; }

 protected:
  // CommandBarControl.Delete: leaves the bar and answers as deleted.
  HRESULT DeleteFromBar();

  SimControlState m_state;
  CSimCommandBar* m_pParent = nullptr;
};

// Makes a control of `state.nType` from a set-up record; null for a type Office lacks.
std::shared_ptr<CSimControlNode> MakeSimControl(const std::shared_ptr<CSimCore>& core,
                                                const SimControlState& state);

// Caption and bar name lookups: case-insensitive, accelerator ampersands ignored.
bool SameCaption(const std::wstring& a, const std::wstring& b);

// The properties every control has.
template <class Interface>
class CSimControl : public Interface, public CSimControlNode {
 public:
  using CSimControlNode::CSimControlNode;

  HRESULT GetType(std::int32_t* type) override {
    return Get("CommandBarControl.Type", type, m_state.nType);
  }
  HRESULT GetTag(std::wstring* tag) override {
    return Get("CommandBarControl.Tag", tag, m_state.strTag);
  }
  HRESULT SetTag(const std::wstring& tag) override {
    return Put("CommandBarControl.Tag=", &m_state.strTag, tag);
  }
  HRESULT GetCaption(std::wstring* caption) override {
    return Get("CommandBarControl.Caption", caption, m_state.strCaption);
  }
  HRESULT SetCaption(const std::wstring& caption) override {
    return Put("CommandBarControl.Caption=", &m_state.strCaption, caption);
  }
  HRESULT GetTooltipText(std::wstring* text) override {
    return Get("CommandBarControl.TooltipText", text, m_state.strTooltip);
  }
  HRESULT SetTooltipText(const std::wstring& text) override {
    return Put("CommandBarControl.TooltipText=", &m_state.strTooltip, text);
  }
  HRESULT GetBeginGroup(bool* beginGroup) override {
    return Get("CommandBarControl.BeginGroup", beginGroup, m_state.bBeginGroup);
  }
  HRESULT SetBeginGroup(bool beginGroup) override {
    return Put("CommandBarControl.BeginGroup=", &m_state.bBeginGroup, beginGroup);
  }
  HRESULT GetVisible(bool* visible) override {
    return Get("CommandBarControl.Visible", visible, m_state.bVisible);
  }
  HRESULT SetVisible(bool visible) override {
    return Put("CommandBarControl.Visible=", &m_state.bVisible, visible);
  }
  HRESULT GetEnabled(bool* enabled) override {
    return Get("CommandBarControl.Enabled", enabled, m_state.bEnabled);
  }
  HRESULT SetEnabled(bool enabled) override {
    return Put("CommandBarControl.Enabled=", &m_state.bEnabled, enabled);
  }
  HRESULT GetWidth(std::int32_t* width) override {
    return Get("CommandBarControl.Width", width, m_state.nWidth);
  }
  HRESULT SetWidth(std::int32_t width) override {
    const HRESULT hr = Enter("CommandBarControl.Width=");
    if (FAILED(hr)) {
      return hr;
    }
    if (width < 0) {
      return E_INVALIDARG;
    }
    m_state.nWidth = width;
    return S_OK;
  }
  HRESULT Delete() override { return DeleteFromBar(); }

  HRESULT QueryButton(std::shared_ptr<ICommandBarButton>* button) override {
    return NoInterface("QueryInterface(CommandBarButton)", button);
  }
  HRESULT QueryComboBox(std::shared_ptr<ICommandBarComboBox>* comboBox) override {
    return NoInterface("QueryInterface(CommandBarComboBox)", comboBox);
  }
  HRESULT QueryPopup(std::shared_ptr<ICommandBarPopup>* popup) override {
    return NoInterface("QueryInterface(CommandBarPopup)", popup);
  }

  std::shared_ptr<ICommandBarControl> AsControl() override { return Self(); }

 protected:
  // This object as its specific interface, sharing its ownership.
  std::shared_ptr<Interface> Self() {
    return std::shared_ptr<Interface>(shared_from_this(), static_cast<Interface*>(this));
  }

  template <class Wanted>
  HRESULT NoInterface(std::string_view call, std::shared_ptr<Wanted>* out) {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    const HRESULT hr = Enter(call);
    return FAILED(hr) ? hr : E_NOINTERFACE;
  }

  template <class Wanted>
  HRESULT Answer(std::string_view call, std::shared_ptr<Wanted>* out) {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    const HRESULT hr = Enter(call);
    if (SUCCEEDED(hr)) {
      *out = Self();
    }
    return hr;
  }
};

class CSimButton final : public CSimControl<ICommandBarButton> {
 public:
  using CSimControl::CSimControl;

  HRESULT GetStyle(std::int32_t* style) override;
  HRESULT SetStyle(std::int32_t style) override;
  HRESULT SetPicture(const PixelImage& picture) override;
  HRESULT SetMask(const PixelImage& mask) override;
  HRESULT PasteFace() override;
  HRESULT CopyFace() override;
  HRESULT Advise(ICommandBarButtonEvents* sink, std::uint32_t* cookie) override;
  HRESULT Unadvise(std::uint32_t cookie) override;
  HRESULT QueryButton(std::shared_ptr<ICommandBarButton>* button) override;

  void Destroy() override;
  int SinkCount() const override { return m_events.Count(); }
  // One press as its own sinks hear it; `cancelDefault` is shared by every sink.
  void FireClick(bool* cancelDefault);

 private:
  CSimConnectionPoint<ICommandBarButtonEvents> m_events;
};

// Combo boxes (type 4), drop-downs (type 3) and edit boxes (type 2).
class CSimComboBox final : public CSimControl<ICommandBarComboBox> {
 public:
  using CSimControl::CSimControl;

  HRESULT GetText(std::wstring* text) override;
  HRESULT SetText(const std::wstring& text) override;
  HRESULT GetListIndex(std::int32_t* index) override;
  HRESULT SetListIndex(std::int32_t index) override;
  HRESULT GetListCount(std::int32_t* count) override;
  HRESULT GetListItem(std::int32_t index, std::wstring* text) override;
  HRESULT Clear() override;
  HRESULT AddItem(const std::wstring& text) override;
  HRESULT SetDropDownLines(std::int32_t lines) override;
  HRESULT SetDropDownWidth(std::int32_t width) override;
  HRESULT Advise(ICommandBarComboBoxEvents* sink, std::uint32_t* cookie) override;
  HRESULT Unadvise(std::uint32_t cookie) override;
  HRESULT QueryComboBox(std::shared_ptr<ICommandBarComboBox>* comboBox) override;

  void Destroy() override;
  int SinkCount() const override { return m_events.Count(); }

  bool HasList() const { return m_state.nType != kEditBox; }
  // What the user does: type (ListIndex 0) or pick an item (from 1), then Change.
  void UserSetsText(const std::wstring& text);
  void UserPicks(std::int32_t index);
  void FireChange();

  static constexpr std::int32_t kEditBox = 2;  // msoControlEdit

 private:
  CSimConnectionPoint<ICommandBarComboBoxEvents> m_events;
};

class CSimPopup final : public CSimControl<ICommandBarPopup> {
 public:
  CSimPopup(std::shared_ptr<CSimCore> core, const SimControlState& state);

  HRESULT GetCommandBar(std::shared_ptr<ICommandBar>* bar) override;
  HRESULT QueryPopup(std::shared_ptr<ICommandBarPopup>* popup) override;

  SimControlState Read() const override;
  void Destroy() override;
  int SinkCount() const override;
  CSimCommandBar* Menu() const override { return m_spMenu.get(); }

 private:
  std::shared_ptr<CSimCommandBar> m_spMenu;
};

// A bar is also its own Controls collection.
class CSimCommandBar final : public ICommandBar,
                             public ICommandBarControls,
                             public CSimObject,
                             public std::enable_shared_from_this<CSimCommandBar> {
 public:
  CSimCommandBar(std::shared_ptr<CSimCore> core, const SimBarState& state, bool isMenu);

  HRESULT GetName(std::wstring* name) override;
  HRESULT GetControls(std::shared_ptr<ICommandBarControls>* controls) override;
  HRESULT GetPosition(std::int32_t* position) override;
  HRESULT SetPosition(std::int32_t position) override;
  HRESULT GetRowIndex(std::int32_t* rowIndex) override;
  HRESULT SetRowIndex(std::int32_t rowIndex) override;
  HRESULT GetLeft(std::int32_t* left) override;
  HRESULT SetLeft(std::int32_t left) override;
  HRESULT GetVisible(bool* visible) override;
  HRESULT SetVisible(bool visible) override;
  HRESULT Delete() override;

  HRESULT GetCount(std::int32_t* count) override;
  HRESULT FindControl(const std::wstring& caption,
                      std::shared_ptr<ICommandBarControl>* control) override;
  HRESULT AddControl(std::int32_t type, bool temporary,
                     std::shared_ptr<ICommandBarControl>* control) override;

  SimBarState Read() const;
  // What Office keeps of the bar once its window closes: the bar without its temporary
  // controls.
  SimBarState Persistent() const;
  void Destroy();
  int SinkCount() const;
  // The collection the bar belongs to (null for a menu's own bar); see SetParent.
  void SetOwner(CSimCommandBars* owner) { m_pOwner = owner; }
  // Takes `control` off the bar.
  void RemoveControl(const CSimControlNode* control);

  const SimBarState& Placement() const { return m_state; }  // aControls is not kept here
  const std::vector<std::shared_ptr<CSimControlNode>>& Controls() const { return m_aControls; }

 private:
  HRESULT EnterPlacement(std::string_view call) const;

  SimBarState m_state;
  const bool m_bMenu;  // a popup's own bar
  std::vector<std::shared_ptr<CSimControlNode>> m_aControls;
  CSimCommandBars* m_pOwner = nullptr;
};

class CSimCommandBars final : public ICommandBars, public CSimObject {
 public:
  CSimCommandBars(std::shared_ptr<CSimCore> core, const std::vector<SimBarState>& bars);

  HRESULT FindBar(const std::wstring& name, std::shared_ptr<ICommandBar>* bar) override;
  HRESULT AddBar(const std::wstring& name, std::int32_t position, bool menuBar, bool temporary,
                 std::shared_ptr<ICommandBar>* bar) override;

  std::shared_ptr<CSimCommandBar> Find(const std::wstring& name) const;
  const std::vector<std::shared_ptr<CSimCommandBar>>& Bars() const { return m_aBars; }
  void Destroy();
  // Takes `bar` out of the collection.
  void RemoveBar(const CSimCommandBar* bar);

 private:
  std::vector<std::shared_ptr<CSimCommandBar>> m_aBars;
};

// --- Outlook -------------------------------------------------------------------------------

class CSimExplorer final : public IOutlookExplorer,
                           public CSimObject,
                           public std::enable_shared_from_this<CSimExplorer> {
 public:
  enum class State { kOpen, kClosing, kClosed };

  CSimExplorer(std::shared_ptr<CSimCore> core, int number, WindowHandle window,
               const std::vector<SimBarState>& bars);

  HRESULT GetCommandBars(std::shared_ptr<ICommandBars>* bars) override;
  HRESULT GetWindow(WindowHandle* window) override;
  HRESULT Advise(IExplorerEvents* sink, std::uint32_t* cookie) override;
  HRESULT Unadvise(std::uint32_t cookie) override;

  int Number() const { return m_nNumber; }
  WindowHandle Window() const { return m_window; }
  State GetState() const { return m_state; }
  void SetState(State state) { m_state = state; }
  CSimCommandBars& Bars() const { return *m_spBars; }
  // Sinks on the explorer and on every control of its bars.
  int SinkCount() const;
  int SinksLeftAtClose() const { return m_nSinksLeftAtClose; }

  void FireActivate();
  void FireSelectionChange();
  void FireClose();
  // The window is gone: its objects vanish. Returns what Office keeps of its bars.
  std::vector<SimBarState> Destroy();

 private:
  const int m_nNumber;
  const WindowHandle m_window;
  State m_state = State::kOpen;
  std::shared_ptr<CSimCommandBars> m_spBars;
  CSimConnectionPoint<IExplorerEvents> m_events;
  int m_nSinksLeftAtClose = -1;
};

class CSimExplorers final : public IOutlookExplorers, public CSimObject {
 public:
  explicit CSimExplorers(std::shared_ptr<CSimCore> core) : CSimObject(std::move(core)) {}

  HRESULT GetCount(std::int32_t* count) override;
  HRESULT GetItem(std::int32_t index, std::shared_ptr<IOutlookExplorer>* explorer) override;
  HRESULT Advise(IExplorersEvents* sink, std::uint32_t* cookie) override;
  HRESULT Unadvise(std::uint32_t cookie) override;

  int SinkCount() const { return m_events.Count(); }
  void FireNewExplorer(const std::shared_ptr<IOutlookExplorer>& explorer);
  void Destroy();

 private:
  CSimConnectionPoint<IExplorersEvents> m_events;
};

// What CreateItem gives: an item that, for outlook::kMailItem, is also a mail item.
class CSimItem final : public IOutlookItem,
                       public IOutlookMailItem,
                       public CSimObject,
                       public std::enable_shared_from_this<CSimItem> {
 public:
  CSimItem(std::shared_ptr<CSimCore> core, std::int32_t type)
      : CSimObject(std::move(core)), m_nType(type) {}

  HRESULT QueryMailItem(std::shared_ptr<IOutlookMailItem>* mailItem) override;
  HRESULT SetSubject(const std::wstring& subject) override;
  HRESULT SetTo(const std::wstring& to) override;
  HRESULT Display() override;

 private:
  const std::int32_t m_nType;
  SimMail m_mail;
};

class CSimFolder final : public IOutlookFolder, public CSimObject {
 public:
  CSimFolder(std::shared_ptr<CSimCore> core, std::int32_t type)
      : CSimObject(std::move(core)), m_nType(type) {}

  HRESULT GetItemCount(std::int32_t* count) override;

 private:
  const std::int32_t m_nType;
};

class CSimNameSpace final : public IOutlookNameSpace, public CSimObject {
 public:
  explicit CSimNameSpace(std::shared_ptr<CSimCore> core) : CSimObject(std::move(core)) {}

  HRESULT GetDefaultFolder(std::int32_t folderType,
                           std::shared_ptr<IOutlookFolder>* folder) override;
};

class CSimApplication final : public IOutlookApplication, public CSimObject {
 public:
  explicit CSimApplication(std::shared_ptr<CSimCore> core) : CSimObject(std::move(core)) {}

  HRESULT GetVersion(std::wstring* version) override;
  HRESULT GetExplorers(std::shared_ptr<IOutlookExplorers>* explorers) override;
  HRESULT GetActiveExplorer(std::shared_ptr<IOutlookExplorer>* explorer) override;
  HRESULT CreateItem(std::int32_t itemType, std::shared_ptr<IOutlookItem>* item) override;
  HRESULT GetSession(std::shared_ptr<IOutlookNameSpace>* nameSpace) override;
  HRESULT Advise(IApplicationEvents* sink, std::uint32_t* cookie) override;
  HRESULT Unadvise(std::uint32_t cookie) override;

  int SinkCount() const { return m_events.Count(); }
  void FireStartup();
  void FireQuit();
  void Destroy();

 private:
  CSimConnectionPoint<IApplicationEvents> m_events;
};

// OnConnection's arguments.
class CSimAutomationObject final : public IAutomationObject, public CSimObject {
 public:
  CSimAutomationObject(std::shared_ptr<CSimCore> core, bool answersOutlookApplication)
      : CSimObject(std::move(core)), m_bAnswers(answersOutlookApplication) {}

  HRESULT QueryOutlookApplication(std::shared_ptr<IOutlookApplication>* application) override;

 private:
  const bool m_bAnswers;
};
