#include "facebook/login_flows.h"

#include <mutex>

#include "common/text.h"
#include "facebook/call_result.h"
#include "facebook/facebook_client.h"
#include "facebook/request_params.h"
#include "facebook/response_parser.h"
#include "resources/string_table.h"

namespace {

constexpr const wchar_t* kLoginIntro =
    L"In order to use Zenlet, you need to login to Facebook.\n\nZenlet will open a browser "
    L"window. In that window, please login to Facebook. After you have logged in, return to "
    L"Outlook to use Zenlet.\n\nClick OK to continue.";
constexpr const wchar_t* kLoginWait = L"Please click OK after you have logged into Facebook.";
constexpr const wchar_t* kLoginFailed = L"Your login attempt failed. Please login again.\n";
constexpr const wchar_t* kSessionExpired =
    L"Your session has expired. Facebook requires you to login again.\n";
constexpr const wchar_t* kPermissionIntro =
    L"Facebook security policy requires that you specifically allow 3rd party applications to "
    L"update Facebook status on your behalf.\n\nZenlet will open a browser window. In that "
    L"window, please allow Zenlet to update your Facebook status.Then return to Outlook\n\n"
    L"Click OK to continue";
constexpr const wchar_t* kPermissionWait =
    L"Please click OK after you have allowed Zenlet to update your Facebook status.";
constexpr const wchar_t* kPermissionRefused =
    L"Your status was not updated because you did not allow Zenlet update your Facebook status.";

constexpr const char* kStatusPermission = "status_update";

// The boxes of one flow: all share the owner and the title.
class CFlowMessages {
 public:
  CFlowMessages(IUserShell& shell, WindowHandle owner)
      : m_shell(shell), m_owner(owner), m_strTitle(LoadText(IDS_PRODUCT_TITLE)) {}

  void Inform(const wchar_t* text) {
    m_shell.ShowMessage(m_owner, text, m_strTitle, message_style::kIconInformation);
  }
  void ShowError(FacebookCallResult& result) {
    m_shell.ShowMessage(m_owner, GetErrorText(result), m_strTitle, message_style::kIconError);
  }
  void Open(const std::string& address) { m_shell.OpenAddress(Utf8ToWide(address)); }

 private:
  IUserShell& m_shell;
  WindowHandle m_owner;
  std::wstring m_strTitle;
};

bool IsServiceError(const FacebookCallResult& result, const wchar_t* code) {
  return result.nStatus == kCallServiceError && result.strErrorCode == code;
}

}  // namespace

std::string GetLoginUrl(const CFacebookClient& client) {
  std::string token;
  {
    std::lock_guard<std::mutex> lock(client.m_csState);
    token = client.m_strAuthToken;
  }
  return client.m_strLoginPage + "?api_key=" + client.m_strApiKey +
         "&auth_token=" + UrlEncode(token) + "&v=" + client.m_strApiVersion;
}

std::string GetAuthorizeUrl(const CFacebookClient& client) {
  return client.m_strAuthorizePage + "?api_key=" + client.m_strApiKey +
         "&v=" + client.m_strApiVersion + "&ext_perm=" + kStatusPermission;
}

bool Login(CFacebookClient& client, IUserShell& shell, WindowHandle owner) {
  client.ClearSession();
  FacebookCallResult result;
  client.CreateToken(result);
  CFlowMessages messages(shell, owner);
  if (result.nStatus != kCallSucceeded) {
    messages.ShowError(result);
    return false;
  }
  messages.Inform(kLoginIntro);
  messages.Open(GetLoginUrl(client));
  // The user's OK is the only sign that the login in the browser is done.
  messages.Inform(kLoginWait);

  result.Reset();
  client.GetSession(result);
  if (result.nStatus == kCallSucceeded) {
    client.GetMyInfo();  // the name and the wall-count baseline are known at once
    return true;
  }
  client.ClearSession();
  if (IsServiceError(result, L"100")) {
    messages.Inform(kLoginFailed);
  } else {
    messages.ShowError(result);
  }
  return false;
}

bool UpdateStatus(CFacebookClient& client, IUserShell& shell, WindowHandle owner,
                  const std::optional<std::wstring>& text) {
  FacebookCallResult result;
  if (!client.IsLoggedIn()) {
    Login(client, shell, owner);
    if (!client.IsLoggedIn()) {
      return false;
    }
  }
  const FacebookSession postedWith = client.CurrentSession();
  client.SetStatus(text, result);
  if (result.nStatus == kCallSucceeded) {
    return true;
  }

  CFlowMessages messages(shell, owner);
  if (IsServiceError(result, L"250")) {
    messages.Inform(kPermissionIntro);
    messages.Open(GetAuthorizeUrl(client));
    messages.Inform(kPermissionWait);
    if (!client.IsCurrentSession(postedWith)) {
      // Logged out while the box waited: there is no session to retry with, and the user
      // ended it on purpose.
      return false;
    }
    result.Reset();
    client.SetStatus(text, result);  // the one retry
    if (result.nStatus == kCallSucceeded) {
      return true;
    }
    if (IsServiceError(result, L"250")) {
      messages.Inform(kPermissionRefused);
    } else {
      messages.ShowError(result);
    }
    return false;
  }
  if (IsServiceError(result, L"102") || IsServiceError(result, L"450")) {
    // SetStatus has cleared the session already; the user logs in anew by hand.
    client.ClearSessionIfCurrent(postedWith);
    messages.Inform(kSessionExpired);
    return false;
  }
  if (IsServiceError(result, L"100")) {
    client.ClearSessionIfCurrent(postedWith);
    messages.Inform(kLoginFailed);
    return false;
  }
  messages.ShowError(result);
  return false;
}
