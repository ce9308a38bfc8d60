// Outlook host seam: every Outlook and Office operation the add-in calls, and the events it
// receives, shaped one to one after Outlook's object model and Office's command bars so that
// each interface here is one automation interface there:
//
//   IAutomationObject      what OnConnection receives (IDispatch)
//   IOutlookApplication    _Application          IOutlookExplorers   _Explorers
//   IOutlookExplorer       _Explorer (+IOleWindow) IOutlookItem / IOutlookMailItem  _MailItem
//   IOutlookNameSpace      _NameSpace            IOutlookFolder      MAPIFolder (+ .Items)
//   ICommandBars           _CommandBars          ICommandBar         CommandBar
//   ICommandBarControls    CommandBarControls    ICommandBarControl  CommandBarControl
//   ICommandBarButton      _CommandBarButton     ICommandBarComboBox _CommandBarComboBox
//   ICommandBarPopup       CommandBarPopup
//
// On Windows an adapter wraps the real COM objects behind these interfaces; on Linux the
// simulated Outlook (platform/sim/) implements them. Portable code sees Outlook and Office
// only through this header.
//
// Errors: operations return HRESULTs as the object model does. A lookup that finds nothing
// (no active explorer, no bar or control of that name) returns S_OK with a null object; any
// other failure returns its failure code and leaves the out-value null or unchanged. Out
// pointers are never null.
// Ownership: objects are shared; holding a shared_ptr keeps the object usable, as a COM
// reference does. Objects of a closed explorer window stay valid to call, and answer as
// Office's do for a deleted object (a failure code).
// Threading: Outlook's main thread only, for every operation and every event.
// Events (connection points): Advise registers a sink and sets its cookie; Unadvise with that
// cookie removes it, and fails (CONNECT_E_NOCONNECTION) for a cookie it did not hand out. The
// source does not own its sinks: the caller unadvises before a sink dies. Every advised sink
// of a source receives each event in the order they were advised. A handler may unadvise
// itself or any other sink, or close its window, and a sink unadvised during an event does
// not receive the rest of it. kNotAdvised is the cookie of a sink that is not advised.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/hresult.h"
#include "platform/user_shell.h"

inline constexpr std::uint32_t kNotAdvised = 0xFEFEFEFE;

// What Unadvise answers for a cookie it does not know (the system's CONNECT_E_NOCONNECTION).
inline constexpr HRESULT kConnectNoConnection = static_cast<HRESULT>(0x80040200u);

class IOutlookApplication;
class IOutlookExplorer;
class ICommandBarButton;
class ICommandBarComboBox;
class ICommandBarPopup;
class ICommandBar;

// The dispatch identifiers of the events, as Outlook and Office define them. The Windows
// adapter's sinks dispatch on them; the simulated Outlook fires the typed calls below.
namespace event_dispid {
inline constexpr std::int32_t kApplicationStartup = 0xF006;
inline constexpr std::int32_t kApplicationQuit = 0xF007;
inline constexpr std::int32_t kExplorersNewExplorer = 0xF001;
inline constexpr std::int32_t kExplorerActivate = 0xF001;
inline constexpr std::int32_t kExplorerSelectionChange = 0xF007;
inline constexpr std::int32_t kExplorerClose = 0xF008;
inline constexpr std::int32_t kButtonClick = 1;
inline constexpr std::int32_t kComboBoxChange = 1;
}  // namespace event_dispid

// --- events -------------------------------------------------------------------------------

// ApplicationEvents {0006304E-0000-0000-C000-000000000046}.
class IApplicationEvents {
 public:
  virtual ~IApplicationEvents() = default;
  virtual void OnStartup() = 0;
  virtual void OnQuit() = 0;  // arrives before the add-in is disconnected
};

// ExplorersEvents {00063078-0000-0000-C000-000000000046}.
class IExplorersEvents {
 public:
  virtual ~IExplorersEvents() = default;
  virtual void OnNewExplorer(const std::shared_ptr<IOutlookExplorer>& explorer) = 0;
};

// ExplorerEvents {0006304F-0000-0000-C000-000000000046}.
class IExplorerEvents {
 public:
  virtual ~IExplorerEvents() = default;
  virtual void OnActivate() = 0;
  virtual void OnSelectionChange() = 0;
  // The window is closing; its command bars go with it once every sink has returned.
  virtual void OnClose() = 0;
};

// _CommandBarButtonEvents {000C0351-0000-0000-C000-000000000046}.
class ICommandBarButtonEvents {
 public:
  virtual ~ICommandBarButtonEvents() = default;
  // One call per press. `cancelDefault` may be written to suppress Office's own action.
  virtual void OnClick(const std::shared_ptr<ICommandBarButton>& button, bool* cancelDefault) = 0;
};

// _CommandBarComboBoxEvents {000C0354-0000-0000-C000-000000000046}.
class ICommandBarComboBoxEvents {
 public:
  virtual ~ICommandBarComboBoxEvents() = default;
  // Raised on Enter in the edit field and when an item of the list is picked.
  virtual void OnChange(const std::shared_ptr<ICommandBarComboBox>& comboBox) = 0;
};

// --- what Outlook passes at connection ------------------------------------------------------

// An automation object (IDispatch) of unknown kind, as OnConnection receives its Application
// and AddInInst arguments.
class IAutomationObject {
 public:
  virtual ~IAutomationObject() = default;
  // QueryInterface for Outlook's _Application: S_OK with it, or E_NOINTERFACE and null.
  virtual HRESULT QueryOutlookApplication(std::shared_ptr<IOutlookApplication>* application) = 0;
};

// --- Outlook ------------------------------------------------------------------------------

class IOutlookMailItem {
 public:
  virtual ~IOutlookMailItem() = default;
  virtual HRESULT SetSubject(const std::wstring& subject) = 0;
  virtual HRESULT SetTo(const std::wstring& to) = 0;
  // Display with Modal omitted: a non-modal mail window; returns at once.
  virtual HRESULT Display() = 0;
};

// An item as CreateItem returns it.
class IOutlookItem {
 public:
  virtual ~IOutlookItem() = default;
  // QueryInterface for _MailItem: S_OK with it, or E_NOINTERFACE and null.
  virtual HRESULT QueryMailItem(std::shared_ptr<IOutlookMailItem>* mailItem) = 0;
};

class IOutlookFolder {
 public:
  virtual ~IOutlookFolder() = default;
  // MAPIFolder.Items.Count: the number of items, read or unread. A folder without an Items
  // collection fails with E_FAIL.
  virtual HRESULT GetItemCount(std::int32_t* count) = 0;
};

class IOutlookNameSpace {
 public:
  virtual ~IOutlookNameSpace() = default;
  // GetDefaultFolder(folderType): 6 is the Inbox. A folder type without a folder fails.
  virtual HRESULT GetDefaultFolder(std::int32_t folderType,
                                   std::shared_ptr<IOutlookFolder>* folder) = 0;
};

namespace outlook {
inline constexpr std::int32_t kMailItem = 0;     // olMailItem
inline constexpr std::int32_t kFolderInbox = 6;  // olFolderInbox
}  // namespace outlook

class ICommandBars;

class IOutlookExplorer {
 public:
  virtual ~IOutlookExplorer() = default;
  virtual HRESULT GetCommandBars(std::shared_ptr<ICommandBars>* bars) = 0;
  // The frame window (IOleWindow::GetWindow through QueryInterface).
  virtual HRESULT GetWindow(WindowHandle* window) = 0;
  virtual HRESULT Advise(IExplorerEvents* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

class IOutlookExplorers {
 public:
  virtual ~IOutlookExplorers() = default;
  virtual HRESULT GetCount(std::int32_t* count) = 0;
  // Item(index) with the index as a VT_I4, counted from 1; an index out of range fails.
  virtual HRESULT GetItem(std::int32_t index, std::shared_ptr<IOutlookExplorer>* explorer) = 0;
  virtual HRESULT Advise(IExplorersEvents* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

class IOutlookApplication {
 public:
  virtual ~IOutlookApplication() = default;
  // A text whose leading decimal number is the major version ("11.0.0.8312"); it may be
  // empty or not numeric at all.
  virtual HRESULT GetVersion(std::wstring* version) = 0;
  virtual HRESULT GetExplorers(std::shared_ptr<IOutlookExplorers>* explorers) = 0;
  // The active explorer, or S_OK with null when there is none.
  virtual HRESULT GetActiveExplorer(std::shared_ptr<IOutlookExplorer>* explorer) = 0;
  // CreateItem(itemType): outlook::kMailItem gives an item that is a mail item.
  virtual HRESULT CreateItem(std::int32_t itemType, std::shared_ptr<IOutlookItem>* item) = 0;
  virtual HRESULT GetSession(std::shared_ptr<IOutlookNameSpace>* nameSpace) = 0;
  virtual HRESULT Advise(IApplicationEvents* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

// --- Office command bars -------------------------------------------------------------------

// Office's enumerations, with their values.
namespace office {
inline constexpr std::int32_t kControlButton = 1;    // msoControlButton
inline constexpr std::int32_t kControlDropdown = 3;  // msoControlDropdown
inline constexpr std::int32_t kControlComboBox = 4;  // msoControlComboBox
inline constexpr std::int32_t kControlPopup = 10;    // msoControlPopup
inline constexpr std::int32_t kButtonCaption = 2;         // msoButtonCaption
inline constexpr std::int32_t kButtonIconAndCaption = 3;  // msoButtonIconAndCaption
inline constexpr std::int32_t kBarTop = 1;                // msoBarTop
}  // namespace office

// A picture handed to a button (the Picture and Mask properties take OLE pictures; the
// Windows adapter makes one from these pixels). Pixels are 0x00RRGGBB, row by row from the
// top, `nWidth` to a row.
struct PixelImage {
  std::int32_t nWidth = 0;
  std::int32_t nHeight = 0;
  std::vector<std::uint32_t> aPixels;
};

class ICommandBars {
 public:
  virtual ~ICommandBars() = default;
  // Item(name): the bar named `name`, or S_OK with null when there is none.
  virtual HRESULT FindBar(const std::wstring& name, std::shared_ptr<ICommandBar>* bar) = 0;
  // Add(Name, Position, MenuBar, Temporary): a new bar, last in the collection. A temporary
  // bar vanishes with its window.
  virtual HRESULT AddBar(const std::wstring& name, std::int32_t position, bool menuBar,
                         bool temporary, std::shared_ptr<ICommandBar>* bar) = 0;
};

class ICommandBarControl {
 public:
  virtual ~ICommandBarControl() = default;
  virtual HRESULT GetType(std::int32_t* type) = 0;  // office::kControl...
  virtual HRESULT GetTag(std::wstring* tag) = 0;
  virtual HRESULT SetTag(const std::wstring& tag) = 0;
  virtual HRESULT GetCaption(std::wstring* caption) = 0;
  virtual HRESULT SetCaption(const std::wstring& caption) = 0;
  virtual HRESULT GetTooltipText(std::wstring* text) = 0;
  virtual HRESULT SetTooltipText(const std::wstring& text) = 0;
  virtual HRESULT GetBeginGroup(bool* beginGroup) = 0;
  virtual HRESULT SetBeginGroup(bool beginGroup) = 0;
  virtual HRESULT GetVisible(bool* visible) = 0;
  virtual HRESULT SetVisible(bool visible) = 0;
  virtual HRESULT GetEnabled(bool* enabled) = 0;
  virtual HRESULT SetEnabled(bool enabled) = 0;
  virtual HRESULT GetWidth(std::int32_t* width) = 0;
  virtual HRESULT SetWidth(std::int32_t width) = 0;
  // Delete(Temporary) with Temporary omitted: the control leaves its bar (a popup with its
  // menu). Calls on it fail from then on.
  virtual HRESULT Delete() = 0;

  // QueryInterface for the control's specific interface: S_OK with it, or E_NOINTERFACE and
  // null when the control is not of that type.
  virtual HRESULT QueryButton(std::shared_ptr<ICommandBarButton>* button) = 0;
  virtual HRESULT QueryComboBox(std::shared_ptr<ICommandBarComboBox>* comboBox) = 0;
  virtual HRESULT QueryPopup(std::shared_ptr<ICommandBarPopup>* popup) = 0;
};

class ICommandBarControls {
 public:
  virtual ~ICommandBarControls() = default;
  virtual HRESULT GetCount(std::int32_t* count) = 0;
  // Item(caption): the first control captioned `caption`, or S_OK with null when none is.
  virtual HRESULT FindControl(const std::wstring& caption,
                              std::shared_ptr<ICommandBarControl>* control) = 0;
  // Add(Type, Id, Parameter, Before, Temporary) with Id, Parameter and Before omitted: a new
  // control of `type` (office::kControl...) at the end of the bar.
  virtual HRESULT AddControl(std::int32_t type, bool temporary,
                             std::shared_ptr<ICommandBarControl>* control) = 0;
};

class ICommandBar {
 public:
  virtual ~ICommandBar() = default;
  virtual HRESULT GetName(std::wstring* name) = 0;
  virtual HRESULT GetControls(std::shared_ptr<ICommandBarControls>* controls) = 0;
  virtual HRESULT GetPosition(std::int32_t* position) = 0;
  virtual HRESULT SetPosition(std::int32_t position) = 0;
  virtual HRESULT GetRowIndex(std::int32_t* rowIndex) = 0;
  virtual HRESULT SetRowIndex(std::int32_t rowIndex) = 0;
  virtual HRESULT GetLeft(std::int32_t* left) = 0;
  virtual HRESULT SetLeft(std::int32_t left) = 0;
  virtual HRESULT GetVisible(bool* visible) = 0;
  virtual HRESULT SetVisible(bool visible) = 0;
  // Delete(): the bar leaves its window with every control on it. A menu's own bar cannot be
  // deleted. Calls on it and its controls fail from then on.
  virtual HRESULT Delete() = 0;
};

class ICommandBarButton : public ICommandBarControl {
 public:
  virtual HRESULT GetStyle(std::int32_t* style) = 0;
  virtual HRESULT SetStyle(std::int32_t style) = 0;  // office::kButton...
  // The face and its transparency mask as pictures (Office 10 and later): the mask keeps the
  // key colour where the face is transparent and is black everywhere else.
  virtual HRESULT SetPicture(const PixelImage& picture) = 0;
  virtual HRESULT SetMask(const PixelImage& mask) = 0;
  // The face through the clipboard (every version): PasteFace takes the face from the
  // clipboard, in Office's private face and mask formats or else as a device-independent
  // bitmap; CopyFace puts the button's face on the clipboard in those private formats.
  virtual HRESULT PasteFace() = 0;
  virtual HRESULT CopyFace() = 0;
  virtual HRESULT Advise(ICommandBarButtonEvents* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

class ICommandBarComboBox : public ICommandBarControl {
 public:
  virtual HRESULT GetText(std::wstring* text) = 0;
  virtual HRESULT SetText(const std::wstring& text) = 0;
  // 1-based index of the chosen item; 0 for typed text. Setting it shows that item's text.
  virtual HRESULT GetListIndex(std::int32_t* index) = 0;
  virtual HRESULT SetListIndex(std::int32_t index) = 0;
  virtual HRESULT GetListCount(std::int32_t* count) = 0;
  // List(index): the text of item `index`, counted from 1.
  virtual HRESULT GetListItem(std::int32_t index, std::wstring* text) = 0;
  virtual HRESULT Clear() = 0;
  // AddItem(Text) with Index omitted: appends.
  virtual HRESULT AddItem(const std::wstring& text) = 0;
  virtual HRESULT SetDropDownLines(std::int32_t lines) = 0;
  virtual HRESULT SetDropDownWidth(std::int32_t width) = 0;  // -1: as wide as the widest item
  virtual HRESULT Advise(ICommandBarComboBoxEvents* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

class ICommandBarPopup : public ICommandBarControl {
 public:
  // The menu's own bar, parent of its items.
  virtual HRESULT GetCommandBar(std::shared_ptr<ICommandBar>* bar) = 0;
};
