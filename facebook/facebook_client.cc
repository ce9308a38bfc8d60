#include "facebook/facebook_client.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>

#include "common/hresult.h"
#include "common/logger.h"
#include "common/process_instance.h"
#include "common/text.h"
#include "facebook/call_method.h"
#include "facebook/xml_select.h"
#include "monitor/activity_state.h"
#include "platform/clock.h"
#include "platform/xml_parser.h"

namespace {

constexpr const char* kApiVersion = "1.0";
constexpr const char* kApiPath = "/restserver.php";
constexpr std::size_t kMaxFriends = 100;  // the friends query asks for no more

bool IsDecimalNumber(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Values read from pretty-printed answers come with the line breaks around them.
std::string SelectTrimmedText(const IXmlNode* node, const std::wstring& xpath) {
  return std::string(TrimXmlSpace(SelectText(node, xpath)));
}

std::int32_t AddSaturated(std::int32_t a, std::int64_t b) {
  const std::int64_t sum = static_cast<std::int64_t>(a) + b;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(sum, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

CFacebookClient::CFacebookClient(const DeploymentConfig& config, IHttpTransport& http,
                                 IXmlParser& xml, IClock& clock, CLogger& logger)
    : m_strApiKey(config.strApiKey),
      m_strAppSecret(config.strAppSecret),
      m_strApiVersion(kApiVersion),
      m_strApiHost(config.strApiHost),
      m_strApiPath(kApiPath),
      m_strLoginPage(config.strLoginPage),
      m_nApiPort(config.nApiPort),
      m_strAuthorizePage(config.strAuthorizePage),
      m_strNamespaceUri(config.strNamespaceUri),
      m_http(http),
      m_xml(xml),
      m_clock(clock),
      m_log(logger),
      m_callIds(clock) {}

bool CFacebookClient::IsLoggedIn() const {
  std::lock_guard<std::mutex> lock(m_csState);
  return !m_session.strSessionKey.empty() && !m_session.strSessionSecret.empty();
}

void CFacebookClient::ClearSession() {
  std::lock_guard<std::mutex> lock(m_csState);
  m_strAuthToken.clear();
  m_session = FacebookSession();
  m_counts = ActivityCounts();
  ClearUserInfo(m_self);
  m_friends.clear();
}

bool CFacebookClient::CheckAnswer(FacebookCallResult& result, const wchar_t* expectedRoot,
                                  const char* tag, bool sessionCall) {
  if (sessionCall && result.nStatus == kCallServiceError &&
      (result.strErrorCode == L"102" || result.strErrorCode == L"450")) {
    ClearSession();  // the session is dead; the result keeps -6
  }
  if (result.nStatus != kCallSucceeded) {
    return false;
  }
  if (result.bstrRootName != expectedRoot) {
    m_log.error("%s %s", tag, WideToAnsi(result.bstrRootName).c_str());
    result.nStatus = kCallUnexpectedRoot;
    return false;
  }
  return true;
}

bool CFacebookClient::CreateToken(FacebookCallResult& result) {
  ClearSession();  // a new login starts from nothing
  CFacebookParams params;
  CallMethod(*this, "facebook.auth.createToken", params, result);
  if (!CheckAnswer(result, L"auth_createToken_response", "ct: ue resp", false)) {
    return false;
  }
  std::string token(TrimXmlSpace(WideToUtf8(result.pRoot->Text())));
  std::lock_guard<std::mutex> lock(m_csState);
  m_strAuthToken = std::move(token);
  return true;
}

bool CFacebookClient::GetSession(FacebookCallResult& result) {
  std::string token;
  {
    std::lock_guard<std::mutex> lock(m_csState);
    m_session.strSessionKey.clear();
    m_session.strSessionSecret.clear();
    token = m_strAuthToken;
  }
  if (token.empty()) {
    m_log.error("gs: eat");
    return false;
  }
  CFacebookParams params;
  AddParam(params, "auth_token", std::move(token));
  CallMethod(*this, "facebook.auth.getSession", params, result);
  if (!CheckAnswer(result, L"auth_getSession_response", "ct: gs resp", false)) {
    return false;
  }
  FacebookSession session;
  const IXmlNode* root = result.pRoot.get();
  session.strSessionKey = SelectTrimmedText(root, L"nfb:session_key");
  session.strSessionSecret = SelectTrimmedText(root, L"nfb:secret");
  session.strUserId = SelectTrimmedText(root, L"nfb:uid");
  session.strExpires = SelectTrimmedText(root, L"nfb:expires");
  if (session.strSessionKey.empty() || session.strSessionSecret.empty()) {
    // An answer that gives no session is no login, however well-formed it is.
    m_log.error("gs: no session in the answer");
    result.nStatus = kCallUnexpectedRoot;
    return false;
  }
  std::lock_guard<std::mutex> lock(m_csState);
  m_session = std::move(session);
  return true;
}

bool CFacebookClient::SetStatus(const std::optional<std::wstring>& text,
                                FacebookCallResult& result) {
  CFacebookParams params;
  if (!text) {
    AddParam(params, "clear", "1");
  } else {
    AddParam(params, "status", WideToUtf8(*text));
    AddParam(params, "status_includes_verb", "true");
  }
  CallMethod(*this, "facebook.users.setStatus", params, result);
  if (!CheckAnswer(result, L"users_setStatus_response", "ct: ss resp", true)) {
    return false;
  }
  std::lock_guard<std::mutex> lock(m_csState);
  m_self.strStatusMessage = text.value_or(std::wstring());
  return true;
}

void CFacebookClient::GetNotifications() {
  if (!IsLoggedIn()) {
    return;
  }
  CFacebookParams params;
  FacebookCallResult result;
  CallMethod(*this, "facebook.notifications.get", params, result);
  if (!CheckAnswer(result, L"notifications_get_response", "gn: ss resp", true)) {
    return;
  }
  const IXmlNode* root = result.pRoot.get();
  const std::int32_t messages = SelectInt(root, L"nfb:messages/nfb:unread");
  const std::int32_t pokes = SelectInt(root, L"nfb:pokes/nfb:unread");
  const std::int32_t shares = SelectInt(root, L"nfb:shares/nfb:unread");
  const std::int32_t friendRequests = SelectCount(root, L"nfb:friend_requests/nfb:uid");
  const std::int32_t groupInvites = SelectCount(root, L"nfb:group_invites/nfb:gid");
  const std::int32_t eventInvites = SelectCount(root, L"nfb:event_invites/nfb:eid");
  {
    std::lock_guard<std::mutex> lock(m_csState);
    m_counts.nMessages = messages;
    m_counts.nPokes = pokes;
    m_counts.nShares = shares;
    m_counts.nFriendRequests = friendRequests;
    m_counts.nGroupInvites = groupInvites;
    m_counts.nEventInvites = eventInvites;
  }
  GetMyInfo();
}

std::optional<std::string> CFacebookClient::UserIdForQuery(const char* tag) {
  std::string userId;
  {
    std::lock_guard<std::mutex> lock(m_csState);
    if (m_session.strSessionKey.empty() || m_session.strSessionSecret.empty()) {
      return std::nullopt;
    }
    userId = m_session.strUserId;
  }
  if (userId.empty()) {
    return std::nullopt;
  }
  // The id goes into the query text as it stands, so it must be nothing but digits.
  if (!IsDecimalNumber(userId)) {
    m_log.error("%s uid is not a number, no query sent", tag);
    return std::nullopt;
  }
  return userId;
}

void CFacebookClient::GetMyInfo() {
  const std::optional<std::string> userId = UserIdForQuery("gmi:");
  if (!userId) {
    return;
  }
  CFacebookParams params;
  AddParam(params, "query", "SELECT uid,name,status,wall_count FROM user WHERE uid =" + *userId);
  FacebookCallResult result;
  CallMethod(*this, "facebook.fql.query", params, result);
  if (!CheckAnswer(result, L"fql_query_response", "gmi: ss resp", true)) {
    return;
  }
  const std::shared_ptr<IXmlNode> node = result.pRoot->SelectSingle(L"nfb:user");
  if (!node) {
    return;
  }
  UserInfo self;
  ReadUserInfo(self, node.get());
  const std::int32_t wallCount = SelectInt(node.get(), L"nfb:wall_count");

  std::lock_guard<std::mutex> lock(m_csState);
  m_self = std::move(self);
  // The first count seen is only the baseline; a shrinking wall adds nothing.
  if (m_counts.nWallCount != 0) {
    const std::int64_t growth = static_cast<std::int64_t>(wallCount) - m_counts.nWallCount;
    m_counts.nNewWallPosts =
        AddSaturated(m_counts.nNewWallPosts, std::max<std::int64_t>(0, growth));
  }
  m_counts.nWallCount = wallCount;
}

void CFacebookClient::QueryFriends() {
  const std::optional<std::string> userId = UserIdForQuery("qf:");
  if (!userId) {
    return;
  }
  const std::string month = WideToAnsi(GetMonthAbbrev());
  CFacebookParams params;
  AddParam(params, "query",
           "SELECT uid,name,status,birthday FROM user WHERE uid in (SELECT uid2 FROM friend "
           "WHERE uid1=" +
               *userId + ") AND (strlen(status.message) > 0 OR strpos(lower(birthday), \"" + month +
               "\") >= 0)ORDER BY status.time DESC LIMIT 100 ");
  FacebookCallResult result;
  CallMethod(*this, "facebook.fql.query", params, result);
  if (!CheckAnswer(result, L"fql_query_response", "gmi: ss resp", true)) {
    return;
  }
  std::vector<std::shared_ptr<IXmlNode>> nodes;
  result.pRoot->SelectAll(L"nfb:user", &nodes);
  std::vector<UserInfo> friends(std::min(nodes.size(), kMaxFriends));
  for (std::size_t i = 0; i < friends.size(); ++i) {
    ReadUserInfo(friends[i], nodes[i].get());
  }
  std::lock_guard<std::mutex> lock(m_csState);
  m_friends = std::move(friends);
}

bool CFacebookClient::ReadUserInfo(UserInfo& info, const IXmlNode* node) {
  SelectTextBstr(node, L"nfb:uid", info.strUid);
  SelectTextBstr(node, L"nfb:name", info.strName);
  SelectTextBstr(node, L"nfb:status/nfb:message", info.strStatusMessage);
  SelectTextBstr(node, L"nfb:status/nfb:time", info.strStatusTime);
  SelectTextBstr(node, L"nfb:birthday", info.strBirthday);
  ParseBirthday(info);
  return true;
}

void CFacebookClient::ClearUserInfo(UserInfo& info) {
  info = UserInfo();
}

std::wstring CFacebookClient::GetMonthAbbrev() const {
  return std::wstring(MonthAbbrev(m_clock.Today().nMonth));
}

CFacebookClient& GetFacebookClient() {
  if (CFacebookClient* client = CProcessInstance<CFacebookClient>::Get()) {
    return *client;
  }
  ThrowHResult(E_UNEXPECTED);
}
