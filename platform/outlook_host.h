// Outlook host seam (first draft): every Outlook and Office operation the add-in calls, and
// the events it receives. On Windows an adapter drives Outlook by COM automation; on Linux the
// simulated host stands in for it. The issue that builds the host integration settles the
// details still open here (pictures, event wiring).
//
// Errors: operations return HRESULTs as the object model does; a getter that succeeds with
// "nothing" (no active explorer, no bar of that name) returns S_OK with a null object.
// Ownership: objects are shared; holding one keeps it usable, as a COM reference does.
// Threading: Outlook's main thread only, for every operation and every event.
// Events: Advise registers a sink and returns its cookie; Unadvise with that cookie removes
// it. kNotAdvised is the cookie of a sink that is not registered. Every registered sink of a
// source receives each event; a source drops no sink on its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/hresult.h"
#include "platform/user_shell.h"

inline constexpr std::uint32_t kNotAdvised = 0xFEFEFEFE;

class IOutlookExplorer;
class ICommandBarButton;
class ICommandBarComboBox;
class ICommandBarPopup;
class ICommandBar;

// --- events -------------------------------------------------------------------------------

class IApplicationEvents {
 public:
  virtual ~IApplicationEvents() = default;
  virtual void OnStartup() = 0;
  virtual void OnQuit() = 0;  // arrives before the add-in is disconnected
};

class IExplorersEvents {
 public:
  virtual ~IExplorersEvents() = default;
  virtual void OnNewExplorer(const std::shared_ptr<IOutlookExplorer>& explorer) = 0;
};

class IExplorerEvents {
 public:
  virtual ~IExplorerEvents() = default;
  virtual void OnActivate() = 0;
  virtual void OnSelectionChange() = 0;
  virtual void OnClose() = 0;
};

class ICommandBarButtonEvents {
 public:
  virtual ~ICommandBarButtonEvents() = default;
  // One call per press. `cancelDefault` may be written to suppress Office's own action.
  virtual void OnClick(const std::shared_ptr<ICommandBarButton>& button, bool* cancelDefault) = 0;
};

class ICommandBarComboBoxEvents {
 public:
  virtual ~ICommandBarComboBoxEvents() = default;
  // Raised on Enter in the edit field and when an item of the list is picked.
  virtual void OnChange(const std::shared_ptr<ICommandBarComboBox>& comboBox) = 0;
};

// --- Outlook ------------------------------------------------------------------------------

class IOutlookMailItem {
 public:
  virtual ~IOutlookMailItem() = default;
  virtual HRESULT SetSubject(const std::wstring& subject) = 0;
  virtual HRESULT SetTo(const std::wstring& to) = 0;
  virtual HRESULT Display() = 0;  // non-modal
};

class IOutlookFolder {
 public:
  virtual ~IOutlookFolder() = default;
  virtual HRESULT GetItemCount(std::int32_t* count) = 0;  // MAPIFolder.Items.Count
};

class IOutlookNameSpace {
 public:
  virtual ~IOutlookNameSpace() = default;
  // The default folder of `folderType` (6 = the Inbox); a null folder is a failure.
  virtual HRESULT GetDefaultFolder(std::int32_t folderType,
                                   std::shared_ptr<IOutlookFolder>* folder) = 0;
};

class ICommandBars {
 public:
  virtual ~ICommandBars() = default;
  // The bar named `name`, or S_OK with null when there is none.
  virtual HRESULT FindBar(const std::wstring& name, std::shared_ptr<ICommandBar>* bar) = 0;
  virtual HRESULT AddBar(const std::wstring& name, std::int32_t position, bool menuBar,
                         bool temporary, std::shared_ptr<ICommandBar>* bar) = 0;
};

class IOutlookExplorer {
 public:
  virtual ~IOutlookExplorer() = default;
  virtual HRESULT GetCommandBars(std::shared_ptr<ICommandBars>* bars) = 0;
  virtual HRESULT GetWindow(WindowHandle* window) = 0;
  virtual HRESULT Advise(IExplorerEvents* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

class IOutlookExplorers {
 public:
  virtual ~IOutlookExplorers() = default;
  virtual HRESULT GetCount(std::int32_t* count) = 0;
  // Explorer number `index`, counted from 1.
  virtual HRESULT GetItem(std::int32_t index, std::shared_ptr<IOutlookExplorer>* explorer) = 0;
  virtual HRESULT Advise(IExplorersEvents* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

class IOutlookApplication {
 public:
  virtual ~IOutlookApplication() = default;
  // A text whose leading decimal number is the major version ("11.0.0.8312").
  virtual HRESULT GetVersion(std::wstring* version) = 0;
  virtual HRESULT GetExplorers(std::shared_ptr<IOutlookExplorers>* explorers) = 0;
  // The active explorer, or S_OK with null when there is none.
  virtual HRESULT GetActiveExplorer(std::shared_ptr<IOutlookExplorer>* explorer) = 0;
  // CreateItem(olMailItem) seen as a mail item.
  virtual HRESULT CreateMailItem(std::shared_ptr<IOutlookMailItem>* item) = 0;
  virtual HRESULT GetSession(std::shared_ptr<IOutlookNameSpace>* nameSpace) = 0;
  virtual HRESULT Advise(IApplicationEvents* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

// --- Office command bars -------------------------------------------------------------------

// Office's control types and button styles, with their values.
namespace office {
inline constexpr std::int32_t kControlButton = 1;
inline constexpr std::int32_t kControlDropdown = 3;
inline constexpr std::int32_t kControlComboBox = 4;
inline constexpr std::int32_t kControlPopup = 10;
inline constexpr std::int32_t kButtonCaption = 2;
inline constexpr std::int32_t kButtonIconAndCaption = 3;
inline constexpr std::int32_t kBarTop = 1;
}  // namespace office

class ICommandBarControl {
 public:
  virtual ~ICommandBarControl() = default;
  virtual HRESULT SetTag(const std::wstring& tag) = 0;
  virtual HRESULT GetCaption(std::wstring* caption) = 0;
  virtual HRESULT SetCaption(const std::wstring& caption) = 0;
  virtual HRESULT SetTooltipText(const std::wstring& text) = 0;
  virtual HRESULT SetBeginGroup(bool beginGroup) = 0;
  virtual HRESULT SetVisible(bool visible) = 0;
  virtual HRESULT SetEnabled(bool enabled) = 0;
  virtual HRESULT SetWidth(std::int32_t width) = 0;

  // The same control seen as its specific type; null when it is not one.
  virtual std::shared_ptr<ICommandBarButton> AsButton() = 0;
  virtual std::shared_ptr<ICommandBarComboBox> AsComboBox() = 0;
  virtual std::shared_ptr<ICommandBarPopup> AsPopup() = 0;
};

class ICommandBarControls {
 public:
  virtual ~ICommandBarControls() = default;
  // The control captioned `caption`, or S_OK with null when there is none.
  virtual HRESULT FindControl(const std::wstring& caption,
                              std::shared_ptr<ICommandBarControl>* control) = 0;
  // Appends a control of `type` (office::kControl...).
  virtual HRESULT AddControl(std::int32_t type, bool temporary,
                             std::shared_ptr<ICommandBarControl>* control) = 0;
};

class ICommandBar {
 public:
  virtual ~ICommandBar() = default;
  virtual HRESULT GetControls(std::shared_ptr<ICommandBarControls>* controls) = 0;
  virtual HRESULT GetPosition(std::int32_t* position) = 0;
  virtual HRESULT SetPosition(std::int32_t position) = 0;
  virtual HRESULT GetRowIndex(std::int32_t* rowIndex) = 0;
  virtual HRESULT SetRowIndex(std::int32_t rowIndex) = 0;
  virtual HRESULT GetLeft(std::int32_t* left) = 0;
  virtual HRESULT SetLeft(std::int32_t left) = 0;
  virtual HRESULT SetVisible(bool visible) = 0;
};

class ICommandBarButton : public ICommandBarControl {
 public:
  virtual HRESULT SetStyle(std::int32_t style) = 0;
  virtual HRESULT Advise(ICommandBarButtonEvents* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

class ICommandBarComboBox : public ICommandBarControl {
 public:
  virtual HRESULT GetText(std::wstring* text) = 0;
  virtual HRESULT SetText(const std::wstring& text) = 0;
  // 1-based index of the chosen item; 0 for typed text.
  virtual HRESULT GetListIndex(std::int32_t* index) = 0;
  virtual HRESULT SetListIndex(std::int32_t index) = 0;
  virtual HRESULT Clear() = 0;
  virtual HRESULT AddItem(const std::wstring& text) = 0;  // appends
  virtual HRESULT SetDropDownLines(std::int32_t lines) = 0;
  virtual HRESULT SetDropDownWidth(std::int32_t width) = 0;
  virtual HRESULT Advise(ICommandBarComboBoxEvents* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

class ICommandBarPopup : public ICommandBarControl {
 public:
  virtual HRESULT GetCommandBar(std::shared_ptr<ICommandBar>* bar) = 0;
};
