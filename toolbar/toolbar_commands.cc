// The commands behind the toolbar's buttons, menu items and combo boxes.
#include <memory>
#include <string>

#include "addin/outlook_explorer.h"
#include "common/deployment.h"
#include "common/format.h"
#include "common/logger.h"
#include "common/text.h"
#include "facebook/facebook_client.h"
#include "facebook/login_flows.h"
#include "monitor/facebook_runner.h"
#include "platform/user_shell.h"
#include "resources/string_table.h"
#include "settings/session_store.h"

namespace morvane {

namespace {

// Posting a status and checking at once need Outlook 2003 or later.
constexpr std::int32_t kFirstSupportedVersion = 11;

constexpr const wchar_t* kVersionTitle = L"Zenlet - Outlook version not supported";
constexpr const wchar_t* kVersionText =
    L"We are sorry, your Outlook version is not supported.\n\nZenlet supports Outlook 2003 and "
    L"later.";
constexpr const wchar_t* kFeedbackSubject = L"Zenlet feedback";

// The busy cursor for as long as the object lives: whatever leaves the scope, an exception
// included, puts back the cursor it replaced.
class CWaitCursor {
 public:
  explicit CWaitCursor(IUserShell& shell) : m_shell(shell), m_previous(shell.ShowWaitCursor()) {}
  ~CWaitCursor() { m_shell.RestoreCursor(m_previous); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

 private:
  IUserShell& m_shell;
  CursorHandle m_previous;
};

}  // namespace

void CFBOutlookExplorer::OnButtonClick(const std::shared_ptr<ICommandBarButton>& /*ctrl*/,
                                       bool* /*cancelDefault*/, unsigned id) {
  // A command may run a nested message loop in which the window closes.
  const std::shared_ptr<CFBOutlookExplorer> keepAlive = weak_from_this().lock();
  switch (id) {
    case command_id::kFacebook:
      OnFacebookButton();
      break;
    case command_id::kLogin:
      OnLogin();
      break;
    case command_id::kLogout:
      OnLogout();
      break;
    case command_id::kCheckNow:
      OnCheckNow();
      break;
    case command_id::kFeedback:
      OnFeedback();
      break;
    case command_id::kWebsite:
      OnWebsite();
      break;
    case command_id::kAbout:
      OnAbout();
      break;
    default:
      break;  // no control carries any other id
  }
}

void CFBOutlookExplorer::ShowVersionNotSupported() {
  m_services.shell.ShowMessage(
      GetExplorerWindow(), kVersionText, kVersionTitle,
      message_style::kOk | message_style::kIconError | message_style::kTopMost);
}

void CFBOutlookExplorer::OnFacebookButton() {
  if (m_services.client.IsLoggedIn()) {
    m_services.shell.OpenAddress(Utf8ToWide(m_services.deployment.strSiteAddress));
  } else {
    OnLogin();
  }
}

bool CFBOutlookExplorer::IsFlowRunning(const CFlowPass& pass, const char* command) {
  if (pass) {
    return false;
  }
  // The command does nothing: a box of its own would open inside the waiting flow's loop, and
  // that flow could not go on until this box was closed.
  m_services.log.debug("%s: a login or status flow is waiting in its box", command);
  return true;
}

void CFBOutlookExplorer::OnLogin() {
  const CFlowPass pass(m_services.flows);
  if (IsFlowRunning(pass, "lgn")) {
    return;
  }
  if (m_services.client.IsLoggedIn()) {
    // A bar not yet refreshed since another window logged in: a login would end that session.
    RefreshToolbar();
    return;
  }
  const CWaitCursor busy(m_services.shell);
  Login(m_services.client, m_services.shell, GetExplorerWindow());
  m_services.session.StoreIfChanged();
  RefreshToolbar();
  // Whatever the outcome, the worker fetches the account's activity in its next pass.
  m_services.runner.RequestCheckNow();
}

void CFBOutlookExplorer::OnLogout() {
  m_services.client.ClearSession();  // nothing is sent to the service
  m_services.session.Store();
  ForgetShownStatus();
  RefreshToolbar();
}

void CFBOutlookExplorer::OnCheckNow() {
  if (m_services.moduleState.GetOutlookMajorVersion() < kFirstSupportedVersion) {
    ShowVersionNotSupported();
    return;
  }
  m_services.runner.RequestCheckNow();
}

void CFBOutlookExplorer::OnFeedback() {
  // Any failure ends the command silently: there is nothing the user could do about it.
  std::shared_ptr<IOutlookApplication> application;
  if (FAILED(m_services.moduleState.GetOutlookApplication(&application)) || !application) {
    return;
  }
  std::shared_ptr<IOutlookItem> item;
  if (FAILED(application->CreateItem(outlook::kMailItem, &item)) || !item) {
    return;
  }
  std::shared_ptr<IOutlookMailItem> mail;
  if (FAILED(item->QueryMailItem(&mail)) || !mail) {
    return;
  }
  mail->SetSubject(kFeedbackSubject);
  mail->SetTo(Utf8ToWide(m_services.deployment.strFeedbackAddress));
  mail->Display();
}

void CFBOutlookExplorer::OnWebsite() {
  m_services.shell.OpenAddress(Utf8ToWide(m_services.deployment.strProductPage));
}

void CFBOutlookExplorer::OnAbout() {
  const std::wstring product = LoadText(IDS_PRODUCT_TITLE);
  const std::wstring title = FormatPrintf(L"About %s", {product});
  const std::wstring text =
      FormatInserts(LoadText(IDS_ABOUT_TEXT),
                    {product, AnsiToWide(kProductVersion), AnsiToWide(kProductEdition)});
  m_services.shell.ShowMessage(GetExplorerWindow(), text, title, message_style::kOk);
}

void CFBOutlookExplorer::OnStatusChange(const std::shared_ptr<ICommandBarComboBox>& comboBox) {
  const std::shared_ptr<ICommandBarComboBox> box = comboBox ? comboBox : m_spStatusCombo;
  if (m_services.moduleState.GetOutlookMajorVersion() < kFirstSupportedVersion) {
    ShowVersionNotSupported();
    return;
  }
  if (!box) {
    return;
  }
  std::wstring text;
  if (FAILED(box->GetText(&text)) || text.empty()) {
    return;
  }
  // The text already shown or posted: a second Enter sends nothing.
  if (IsShownStatus(text)) {
    return;
  }
  const CFlowPass pass(m_services.flows);
  if (IsFlowRunning(pass, "osc")) {
    return;
  }
  std::int32_t listIndex = 0;
  if (FAILED(box->GetListIndex(&listIndex))) {
    listIndex = 0;
  }
  // Remembered before sending, whatever the sending's outcome.
  m_statusList.Remember(listIndex, text);
  const bool bLoggedInBefore = m_services.client.IsLoggedIn();
  if (UpdateStatus(m_services.client, m_services.shell, GetExplorerWindow(), text)) {
    RecordShownStatus(text);
  }
  m_services.session.StoreIfChanged();
  RefreshToolbar();
  if (!bLoggedInBefore) {
    // The post ran a login first: as after the login command, the worker fetches the
    // account's activity in its next pass.
    m_services.runner.RequestCheckNow();
  }
}

void CFBOutlookExplorer::OnNotificationSelected(
    const std::shared_ptr<ICommandBarComboBox>& /*comboBox*/) {
  if (m_spNotificationsCombo) {
    m_notifications.OnNotificationSelected(*m_spNotificationsCombo);
  }
}

}  // namespace morvane
