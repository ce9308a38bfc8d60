// The toolbar's refresh: the controls follow the login state.
#include <mutex>
#include <string>

#include "addin/outlook_explorer.h"
#include "facebook/facebook_client.h"
#include "resources/string_table.h"

namespace morvane {

namespace {

constexpr const wchar_t* kCurrentStatus = L"\nCurrent Status - ";

void SetVisible(const std::shared_ptr<ICommandBarButton>& button, bool visible) {
  if (button) {
    button->SetVisible(visible);
  }
}

}  // namespace

void CFBOutlookExplorer::RefreshToolbar() {
  CFacebookClient& client = m_services.client;
  const bool loggedIn = client.IsLoggedIn();
  std::wstring name;
  std::wstring statusMessage;
  std::wstring statusTime;
  {
    std::lock_guard<std::mutex> lock(client.m_csState);
    name = client.m_self.strName;
    statusMessage = client.m_self.strStatusMessage;
    statusTime = client.m_self.strStatusTime;
  }
  if (loggedIn) {
    ShowLoggedIn(name, statusMessage, statusTime);
  } else {
    ShowLoggedOut();
  }
}

void CFBOutlookExplorer::ShowLoggedIn(const std::wstring& name, const std::wstring& statusMessage,
                                      const std::wstring& statusTime) {
  SetVisible(m_spLoginButton, false);
  SetVisible(m_spLogoutButton, true);
  SetVisible(m_spCheckNowButton, true);

  if (m_spStatusCombo) {
    m_spStatusCombo->SetEnabled(true);
    std::wstring tooltip = LoadText(IDS_STATUS_TOOLTIP);
    if (!statusMessage.empty()) {
      tooltip += kCurrentStatus;
      tooltip += statusMessage;
    }
    m_spStatusCombo->SetTooltipText(tooltip);
    m_statusList.FillComboBox(*m_spStatusCombo);
    // The box shows the current status unless the user has typed something else into it.
    if (!statusTime.empty()) {
      std::wstring text;
      if (SUCCEEDED(m_spStatusCombo->GetText(&text)) && text != statusMessage &&
          IsShownStatus(text)) {
        m_spStatusCombo->SetText(statusMessage);
        RecordShownStatus(statusMessage);
      }
    }
  }

  if (m_spLogoutButton) {
    // Until the new account's record arrives its name is not known, and the item must not
    // name whoever was logged in before.
    m_spLogoutButton->SetCaption(name.empty() ? LoadText(IDS_LOGOUT)
                                              : LoadText(IDS_LOGOUT) + L" (" + name + L")");
  }
  if (m_spFacebookButton) {
    m_spFacebookButton->SetCaption(std::wstring());  // the icon alone
    m_spFacebookButton->SetTooltipText(LoadText(IDS_SITE_TOOLTIP));
  }
  if (m_spNotificationsCombo) {
    m_notifications.RefreshLoggedIn(*m_spNotificationsCombo);
  }
}

void CFBOutlookExplorer::ShowLoggedOut() {
  SetVisible(m_spLoginButton, true);
  SetVisible(m_spLogoutButton, false);
  SetVisible(m_spCheckNowButton, false);

  if (m_spStatusCombo) {
    m_spStatusCombo->Clear();
    m_spStatusCombo->SetEnabled(false);
    m_spStatusCombo->SetTooltipText(LoadText(IDS_STATUS_TOOLTIP));
  }
  ForgetShownStatus();

  if (m_spFacebookButton) {
    m_spFacebookButton->SetCaption(LoadText(IDS_LOGIN));
    m_spFacebookButton->SetTooltipText(LoadText(IDS_LOGIN_TOOLTIP));
  }

  if (m_spNotificationsCombo) {
    m_notifications.ShowLoggedOut(*m_spNotificationsCombo);
  }
}

}  // namespace morvane
