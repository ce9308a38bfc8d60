// One explorer window's object: it listens to the window's events, owns the window's toolbar
// (its controls and their click sinks) and answers the toolbar's commands.
//
// Its operations live by subject: the window's lifecycle in addin/outlook_explorer.cc, the
// toolbar's construction and release in toolbar/toolbar_build.cc, its refresh in
// toolbar/toolbar_refresh.cc and the commands in toolbar/toolbar_commands.cc.
//
// Lifetime: always made with std::make_shared by the explorer collection, whose list holds
// it; it holds a module lock for as long as it lives. Its own Close handler, or the
// application object letting go of the window, takes it out of the list; every entry from
// outside keeps it alive until it has returned.
//
// Threading: Outlook's main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "addin/addin_services.h"
#include "addin/button_event.h"
#include "addin/event_sink.h"
#include "addin/module_state.h"
#include "common/hresult.h"
#include "facebook/login_flows.h"
#include "monitor/notifications_popup.h"
#include "platform/outlook_host.h"
#include "status/status_list.h"

namespace morvane {

class CMVOutlookExplorerCollBase;

// Command ids of the toolbar's buttons; 1, 5, 6 and 7 belong to no control.
namespace command_id {
inline constexpr unsigned kFacebook = 0;
inline constexpr unsigned kLogin = 2;
inline constexpr unsigned kLogout = 3;
inline constexpr unsigned kCheckNow = 4;
inline constexpr unsigned kFeedback = 8;
inline constexpr unsigned kWebsite = 9;
inline constexpr unsigned kAbout = 10;
}  // namespace command_id

class CFBOutlookExplorer final : public std::enable_shared_from_this<CFBOutlookExplorer>,
                                 public ICBButtonEventCallback,
                                 public CEventSink<IExplorerEvents, IOutlookExplorer, 1> {
 public:
  // The toolbar's bar, found by this name or made with it.
  static constexpr const wchar_t* kBarName = L"Zenlet";

  explicit CFBOutlookExplorer(const ExplorerServices& services);
  ~CFBOutlookExplorer() override;
  CFBOutlookExplorer(const CFBOutlookExplorer&) = delete;
  CFBOutlookExplorer& operator=(const CFBOutlookExplorer&) = delete;

  // --- the window (addin/outlook_explorer.cc) ---

  // Attaches to `explorer` for `coll`: advises the explorer's events and builds the toolbar
  // as far as it can. Always S_OK.
  HRESULT Init(std::shared_ptr<IOutlookExplorer> explorer, CMVOutlookExplorerCollBase* coll);
  // The add-in lets go of the window (it is switched off, or Outlook quits): the toolbar's
  // placement goes into the options when this object made the bar, the toolbar is released
  // as at Close, and with `bDeleteToolbar` the bar this object made, or else the controls it
  // made on a bar it found, are deleted from the window. The caller saves the options.
  void Detach(bool bDeleteToolbar);
  // The explorer's frame window, cached; the thread's active window while it is not known.
  // The owner of every message box a command shows.
  WindowHandle GetExplorerWindow();

  // The events. Each entry from Outlook or Office holds a share of this object while it
  // runs: the window may close from inside it (its own Close handler leaves the collection,
  // and a command's message box runs a nested loop in which the user may close the window),
  // and the collection's reference may be the last.
  // Activate: completes the toolbar on Outlook 10 and later, then applies the saved position
  // once.
  void OnActivate() override;
  void OnSelectionChange() override {}
  // Close: stores the toolbar's placement and the session when this object made the bar,
  // releases the toolbar and leaves the collection.
  void OnClose() override;

  // --- the toolbar (toolbar/toolbar_build.cc) ---

  // Builds what is missing of the toolbar; S_OK at once when it is complete. A failure of
  // the bar, a combo box or the menu ends the build with that failure; the next call adds
  // what is still missing.
  HRESULT BuildToolbar();
  // Restores the saved placement on a bar this object made, once per object.
  void ApplySavedPosition();
  // Unadvises and lets go of every control and sink, then of the explorer, and leaves the
  // collection. Office removes the temporary controls with the window.
  void ReleaseToolbar();
  // Puts the bar's row index, left edge and position into the options when this object made
  // the bar; true when it did.
  bool RecordToolbarPlacement();

  HRESULT AddButton(unsigned id, const std::shared_ptr<ICommandBar>& parentBar, std::int32_t style,
                    unsigned captionId, unsigned tooltipId, bool beginGroup, unsigned faceBitmapId,
                    std::uint32_t faceColour, std::shared_ptr<ICommandBarButton>* button);
  HRESULT CreateButton(const std::shared_ptr<ICommandBar>& parentBar, std::int32_t style,
                       unsigned captionId, unsigned tooltipId, bool beginGroup,
                       unsigned faceBitmapId, std::uint32_t faceColour,
                       std::shared_ptr<ICommandBarButton>* button);
  HRESULT CreateComboBox(const std::shared_ptr<ICommandBar>& parentBar, std::int32_t type,
                         unsigned captionId, unsigned tooltipId,
                         std::shared_ptr<ICommandBarComboBox>* comboBox);
  // A control of `parentBar` captioned with string `captionId`: the existing one as it is,
  // or a new temporary one with its tag, caption, tooltip, group and visibility set.
  HRESULT CreateControl(const std::shared_ptr<ICommandBar>& parentBar, std::int32_t type,
                        unsigned captionId, unsigned tooltipId, bool beginGroup,
                        std::shared_ptr<ICommandBarControl>* control);

  // --- the refresh (toolbar/toolbar_refresh.cc) ---

  // Brings the controls in line with the login state; missing controls are skipped.
  void RefreshToolbar();

  // --- the commands (toolbar/toolbar_commands.cc) ---

  void OnButtonClick(const std::shared_ptr<ICommandBarButton>& ctrl, bool* cancelDefault,
                     unsigned id) override;
  void OnFacebookButton();
  void OnLogin();
  void OnLogout();
  void OnCheckNow();
  void OnFeedback();
  void OnWebsite();
  void OnAbout();
  // Change of the status combo box (sink 2) and of the notifications drop-down (sink 3).
  void OnStatusChange(const std::shared_ptr<ICommandBarComboBox>& comboBox);
  void OnNotificationSelected(const std::shared_ptr<ICommandBarComboBox>& comboBox);

  // The window.
  std::shared_ptr<IOutlookExplorer> m_spExplorer;
  CMVOutlookExplorerCollBase* m_pColl = nullptr;  // not owned
  WindowHandle m_hWnd = 0;                        // 0 until known

  // The toolbar: the bar it stands on, whether this object made that bar (only then is its
  // placement restored and stored, and the bar deleted when the add-in is switched off),
  // and the controls.
  std::shared_ptr<ICommandBar> m_spCommandBar;
  bool m_bMadeCommandBar = false;
  std::shared_ptr<ICommandBarButton> m_spFacebookButton;
  std::shared_ptr<ICommandBarComboBox> m_spStatusCombo;
  std::shared_ptr<ICommandBarComboBox> m_spNotificationsCombo;
  std::shared_ptr<ICommandBarPopup> m_spMenuPopup;
  std::shared_ptr<ICommandBarButton> m_spLoginButton;
  std::shared_ptr<ICommandBarButton> m_spLogoutButton;
  std::shared_ptr<ICommandBarButton> m_spCheckNowButton;
  std::shared_ptr<ICommandBarButton> m_spFeedbackButton;
  std::shared_ptr<ICommandBarButton> m_spWebsiteButton;
  std::shared_ptr<ICommandBarButton> m_spAboutButton;
  std::vector<std::shared_ptr<CCBButtonEvent>> m_aButtonEvents;  // in creation order
  // The controls this object added (not those it found), in creation order.
  std::vector<std::shared_ptr<ICommandBarControl>> m_aMadeControls;
  bool m_bToolbarBuilt = false;  // every control is there
  bool m_bPositionApplied = false;

  // The values behind the status combo box.
  CStatusList m_statusList;
  // The status text last put into, or posted from, the status combo box. The rule that keeps
  // a status from going out twice: the refresh records the status it shows and a post the
  // text it posted, and Enter on the text recorded posts nothing.
  std::wstring m_bstrShownStatus;
  void RecordShownStatus(const std::wstring& text) { m_bstrShownStatus = text; }
  void ForgetShownStatus() { m_bstrShownStatus.clear(); }
  bool IsShownStatus(const std::wstring& text) const { return text == m_bstrShownStatus; }
  // The drop-down's contents: its links (m_aLinks, index-aligned with the items), the
  // activity signature and the time of its last rebuild.
  CNotificationsPopup m_notifications;

 private:
  // What the events do, without the share that keeps the object alive: reached only through
  // OnActivate and OnClose.
  void OnExplorerActivate();
  void OnExplorerClose();

  // The one place a button gets its picture (bitmap `faceBitmapId` with the transparent key
  // colour `faceColour`); the result is not checked, a button without a picture still works.
  void SetButtonFace(const std::shared_ptr<ICommandBarButton>& button, unsigned faceBitmapId,
                     std::uint32_t faceColour);
  // The logged-in and logged-out states of the refresh.
  void ShowLoggedIn(const std::wstring& name, const std::wstring& statusMessage,
                    const std::wstring& statusTime);
  void ShowLoggedOut();
  // The message box of the commands that need Outlook 2003 or later.
  void ShowVersionNotSupported();
  // Whether another login or status flow holds the gate, so that `pass` did not enter it;
  // logged with the command's tag.
  bool IsFlowRunning(const CFlowPass& pass, const char* command);

  // The combo boxes' Change, kept alive as the other entries are.
  void StatusComboChanged(const std::shared_ptr<ICommandBarComboBox>& comboBox);
  void NotificationsComboChanged(const std::shared_ptr<ICommandBarComboBox>& comboBox);

  ExplorerServices m_services;
  CModuleLock m_moduleLock;
  CComboBoxEventSink<CFBOutlookExplorer, 2> m_statusComboSink{
      *this, &CFBOutlookExplorer::StatusComboChanged};
  CComboBoxEventSink<CFBOutlookExplorer, 3> m_notificationsComboSink{
      *this, &CFBOutlookExplorer::NotificationsComboChanged};
};

}  // namespace morvane
