// The commands behind the toolbar's buttons, menu items and combo boxes.
#include <memory>

#include "addin/outlook_explorer.h"

namespace morvane {

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

// The commands themselves come with the login flows and the status presets.
void CFBOutlookExplorer::OnFacebookButton() {}
void CFBOutlookExplorer::OnLogin() {}
void CFBOutlookExplorer::OnLogout() {}
void CFBOutlookExplorer::OnCheckNow() {}
void CFBOutlookExplorer::OnFeedback() {}
void CFBOutlookExplorer::OnWebsite() {}
void CFBOutlookExplorer::OnAbout() {}
void CFBOutlookExplorer::OnStatusChange(const std::shared_ptr<ICommandBarComboBox>& /*comboBox*/) {}
void CFBOutlookExplorer::OnNotificationSelected(
    const std::shared_ptr<ICommandBarComboBox>& /*comboBox*/) {}

}  // namespace morvane
