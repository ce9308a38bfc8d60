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

bool IsSameSession(const FacebookSession& a, const FacebookSession& b) {
  return a.strSessionKey == b.strSessionKey && a.strSessionSecret == b.strSessionSecret &&
         a.strUserId == b.strUserId;
}

// Runs `store` under the client's lock while the session is still the one `askedWith` copied
// before the request; an answer that comes back after a logout or a new login belongs to a
// session that has ended and is dropped. True when stored.
template <typename Store>
bool StoreForSession(CFacebookClient& client, const FacebookSession& askedWith, const char* tag,
                     Store store) {
  {
    std::lock_guard<std::mutex> lock(client.m_csState);
    if (IsSameSession(client.m_session, askedWith)) {
      store();
      return true;
    }
  }
  client.Log().debug("%s late answer dropped: the session it was sent with has ended", tag);
  return false;
}

std::int32_t AddSaturated(std::int32_t a, std::int64_t b) {
  const std::int64_t sum = static_cast<std::int64_t>(a) + b;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(sum, std::numeric_limits<std::int32_t>::max()));
}

// The API server of `address`; nothing to connect to when the address cannot be read.
ServiceAddress ApiServer(const std::string& address) {
  return ParseServiceAddress(address).value_or(ServiceAddress{true, std::string(), 0});
}

}  // namespace

CFacebookClient::CFacebookClient(const DeploymentConfig& config, IHttpTransport& http,
                                 IXmlParser& xml, IClock& clock, CLogger& logger)
    : m_strApiKey(config.strApiKey),
      m_strAppSecret(config.strAppSecret),
      m_strApiVersion(kApiVersion),
      m_strApiHost(ApiServer(config.strApiAddress).strHost),
      m_strApiPath(kApiPath),
      m_strLoginPage(config.strLoginPage),
      m_nApiPort(ApiServer(config.strApiAddress).nPort),
      m_bApiOverTls(ApiServer(config.strApiAddress).bTls),
      m_strAuthorizePage(config.strAuthorizePage),
      m_strNamespaceUri(config.strNamespaceUri),
      m_http(http),
      m_xml(xml),
      m_clock(clock),
      m_log(logger),
      m_callIds(clock) {
  if (m_strApiHost.empty()) {
    m_log.error("hr: the API address \"%s\" is not an http:// or https:// root address",
                config.strApiAddress.c_str());
  }
}

bool CFacebookClient::IsLoggedIn() const {
  std::lock_guard<std::mutex> lock(m_csState);
  return !m_session.strSessionKey.empty() && !m_session.strSessionSecret.empty();
}

void CFacebookClient::ClearSession() {
  std::lock_guard<std::mutex> lock(m_csState);
  ClearStateUnderLock();
}

bool CFacebookClient::IsCurrentSession(const FacebookSession& session) const {
  std::lock_guard<std::mutex> lock(m_csState);
  return IsSameSession(m_session, session);
}

bool CFacebookClient::ClearSessionIfCurrent(const FacebookSession& session) {
  std::lock_guard<std::mutex> lock(m_csState);
  if (!IsSameSession(m_session, session)) {
    return false;
  }
  ClearStateUnderLock();
  return true;
}

void CFacebookClient::ClearStateUnderLock() {
  m_strAuthToken.clear();
  m_session = FacebookSession();
  m_counts = ActivityCounts();
  ClearUserInfo(m_self);
  m_friends.clear();
}

bool CFacebookClient::CheckAnswer(FacebookCallResult& result, const wchar_t* expectedRoot,
                                  const char* tag, const FacebookSession* askedWith) {
  if (askedWith != nullptr && result.nStatus == kCallServiceError &&
      (result.strErrorCode == L"102" || result.strErrorCode == L"450")) {
    // The session that asked is dead; the result keeps -6. A session begun since lives on.
    StoreForSession(*this, *askedWith, "ds:", [this] { ClearStateUnderLock(); });
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
  if (!CheckAnswer(result, L"auth_createToken_response", "ct: ue resp", nullptr)) {
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
  if (!CheckAnswer(result, L"auth_getSession_response", "ct: gs resp", nullptr)) {
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
  const FacebookSession askedWith = CurrentSession();
  CallMethod(*this, "facebook.users.setStatus", params, askedWith, result);
  if (!CheckAnswer(result, L"users_setStatus_response", "ct: ss resp", &askedWith)) {
    return false;
  }
  // Posted either way; only the session that posted it shows it as its own.
  StoreForSession(*this, askedWith,
                  "ss:", [&] { m_self.strStatusMessage = text.value_or(std::wstring()); });
  return true;
}

void CFacebookClient::GetNotifications() {
  const FacebookSession askedWith = CurrentSession();
  if (askedWith.strSessionKey.empty() || askedWith.strSessionSecret.empty()) {
    return;
  }
  CFacebookParams params;
  FacebookCallResult result;
  CallMethod(*this, "facebook.notifications.get", params, askedWith, result);
  if (!CheckAnswer(result, L"notifications_get_response", "gn: ss resp", &askedWith)) {
    return;
  }
  const IXmlNode* root = result.pRoot.get();
  const std::int32_t messages = SelectInt(root, L"nfb:messages/nfb:unread");
  const std::int32_t pokes = SelectInt(root, L"nfb:pokes/nfb:unread");
  const std::int32_t shares = SelectInt(root, L"nfb:shares/nfb:unread");
  const std::int32_t friendRequests = SelectCount(root, L"nfb:friend_requests/nfb:uid");
  const std::int32_t groupInvites = SelectCount(root, L"nfb:group_invites/nfb:gid");
  const std::int32_t eventInvites = SelectCount(root, L"nfb:event_invites/nfb:eid");
  const bool stored = StoreForSession(*this, askedWith, "gn:", [&] {
    m_counts.nMessages = messages;
    m_counts.nPokes = pokes;
    m_counts.nShares = shares;
    m_counts.nFriendRequests = friendRequests;
    m_counts.nGroupInvites = groupInvites;
    m_counts.nEventInvites = eventInvites;
  });
  if (stored) {
    GetMyInfo();
  }
}

FacebookSession CFacebookClient::CurrentSession() const {
  std::lock_guard<std::mutex> lock(m_csState);
  return m_session;
}

std::optional<FacebookSession> CFacebookClient::SessionForQuery(const char* tag) {
  FacebookSession session = CurrentSession();
  if (session.strSessionKey.empty() || session.strSessionSecret.empty() ||
      session.strUserId.empty()) {
    return std::nullopt;
  }
  // The id goes into the query text as it stands, so it must be nothing but digits.
  if (!IsDecimalNumber(session.strUserId)) {
    m_log.error("%s uid is not a number, no query sent", tag);
    return std::nullopt;
  }
  return session;
}

void CFacebookClient::GetMyInfo() {
  const std::optional<FacebookSession> askedWith = SessionForQuery("gmi:");
  if (!askedWith) {
    return;
  }
  CFacebookParams params;
  AddParam(params, "query",
           "SELECT uid,name,status,wall_count FROM user WHERE uid =" + askedWith->strUserId);
  FacebookCallResult result;
  CallMethod(*this, "facebook.fql.query", params, *askedWith, result);
  if (!CheckAnswer(result, L"fql_query_response", "gmi: ss resp", &*askedWith)) {
    return;
  }
  const std::shared_ptr<IXmlNode> node = result.pRoot->SelectSingle(L"nfb:user");
  if (!node) {
    return;
  }
  UserInfo self;
  ReadUserInfo(self, node.get());
  const std::int32_t wallCount = SelectInt(node.get(), L"nfb:wall_count");

  StoreForSession(*this, *askedWith, "gmi:", [&] {
    m_self = std::move(self);
    // The first count seen is only the baseline; a shrinking wall adds nothing.
    if (m_counts.nWallCount != 0) {
      const std::int64_t growth = static_cast<std::int64_t>(wallCount) - m_counts.nWallCount;
      m_counts.nNewWallPosts =
          AddSaturated(m_counts.nNewWallPosts, std::max<std::int64_t>(0, growth));
    }
    m_counts.nWallCount = wallCount;
  });
}

void CFacebookClient::QueryFriends() {
  const std::optional<FacebookSession> askedWith = SessionForQuery("qf:");
  if (!askedWith) {
    return;
  }
  const std::string month = WideToAnsi(GetMonthAbbrev());
  CFacebookParams params;
  AddParam(params, "query",
           "SELECT uid,name,status,birthday FROM user WHERE uid in (SELECT uid2 FROM friend "
           "WHERE uid1=" +
               askedWith->strUserId +
               ") AND (strlen(status.message) > 0 OR strpos(lower(birthday), \"" + month +
               "\") >= 0)ORDER BY status.time DESC LIMIT 100 ");
  FacebookCallResult result;
  CallMethod(*this, "facebook.fql.query", params, *askedWith, result);
  if (!CheckAnswer(result, L"fql_query_response", "gmi: ss resp", &*askedWith)) {
    return;
  }
  std::vector<std::shared_ptr<IXmlNode>> nodes;
  result.pRoot->SelectAll(L"nfb:user", &nodes);
  std::vector<UserInfo> friends(std::min(nodes.size(), kMaxFriends));
  for (std::size_t i = 0; i < friends.size(); ++i) {
    ReadUserInfo(friends[i], nodes[i].get());
  }
  StoreForSession(*this, *askedWith, "qf:", [&] { m_friends = std::move(friends); });
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
