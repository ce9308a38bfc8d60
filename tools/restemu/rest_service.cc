#include "tools/restemu/rest_service.h"

#include <algorithm>
#include <ctime>

#include "common/deployment.h"
#include "tools/restemu/fql.h"
#include "tools/restemu/signature.h"

namespace {

constexpr std::size_t kMaxPendingTokens = 4096;

struct MethodSpec {
  const char* szName;
  bool bNeedsSession;
};

const MethodSpec* FindMethod(std::string_view name) {
  static const MethodSpec kMethods[] = {
      {"facebook.auth.createToken", false},      {"facebook.auth.getSession", false},
      {"facebook.users.setStatus", true},        {"facebook.notifications.get", true},
      {"facebook.users.hasAppPermission", true}, {"facebook.fql.query", true},
  };
  for (const MethodSpec& method : kMethods) {
    if (name == method.szName) {
      return &method;
    }
  }
  return nullptr;
}

// The service's booleans: 1, true and True are true; 0, false, False and the empty text are
// false. Anything else is not a boolean.
std::optional<bool> ParseBoolean(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  if (lower == "1" || lower == "true") {
    return true;
  }
  if (lower.empty() || lower == "0" || lower == "false") {
    return false;
  }
  return std::nullopt;
}

// A call id is a decimal number, perhaps with a fraction ("1186088346.82142"). Returns whether
// `next` is greater than `last`; an empty `last` means no call yet. Text that is no number is
// never greater.
bool IsGreaterCallId(const std::string& next, const std::string& last) {
  auto split = [](const std::string& text, std::string& whole, std::string& fraction) {
    const std::size_t dot = text.find('.');
    whole = text.substr(0, dot);
    fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    if (whole.empty() || (dot != std::string::npos && fraction.empty()) ||
        whole.find_first_not_of("0123456789") != std::string::npos ||
        fraction.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    return true;
  };
  std::string nextWhole, nextFraction, lastWhole, lastFraction;
  if (!split(next, nextWhole, nextFraction)) {
    return false;
  }
  if (last.empty() || !split(last, lastWhole, lastFraction)) {
    return true;
  }
  if (nextWhole.size() != lastWhole.size()) {
    return nextWhole.size() > lastWhole.size();
  }
  if (nextWhole != lastWhole) {
    return nextWhole > lastWhole;
  }
  return nextFraction > lastFraction;
}

CAnswerNode CounterNode(const char* name, const NotificationCounter& counter) {
  return CAnswerNode::Record(name, {CAnswerNode::Number("unread", counter.nUnread),
                                    CAnswerNode::Number("most_recent", counter.nMostRecent)});
}

CAnswerNode IdList(const char* name, const char* item, const std::vector<std::string>& ids) {
  CAnswerNode list = CAnswerNode::List(name);
  for (const std::string& id : ids) {
    list.Add(CAnswerNode::Number(item, std::stoll(id)));
  }
  return list;
}

PersonRecord Expanded(PersonRecord person, const CalendarDate& today) {
  person.strBirthday = ExpandBirthday(person.strBirthday, today);
  return person;
}

}  // namespace

std::string RestOutcome::Body() const {
  return bJson ? WriteJsonAnswer(document) : WriteXmlAnswer(document);
}

CRestService::CRestService(const Scenario& scenario)
    : m_user(scenario.user),
      m_aFriends(scenario.aFriends),
      m_nWallCount(scenario.nWallCount),
      m_nWallPostInterval(scenario.nWallPostInterval),
      m_notifications(scenario.notifications),
      m_setPermissions(scenario.aPermissions.begin(), scenario.aPermissions.end()),
      m_nSessionLifetime(scenario.nSessionLifetime),
      m_nFixedNow(scenario.nNow),
      m_today(scenario.today),
      m_random(std::random_device{}()) {
  const DeploymentConfig& deployment = GetDeploymentConfig();
  m_mapApplications[deployment.strApiKey] = deployment.strAppSecret;
  for (const ApplicationRecord& application : scenario.aApplications) {
    m_mapApplications[application.strApiKey] = application.strSecret;
  }
  m_nWallEpoch = NowLocked();
}

std::string CRestService::CanonicalMethod(std::string_view method) {
  static constexpr std::string_view kPrefix = "facebook.";
  if (method.empty() || method.substr(0, kPrefix.size()) == kPrefix) {
    return std::string(method);
  }
  return std::string(kPrefix) + std::string(method);
}

bool CRestService::WantsJson(const CRequestParams& params) {
  std::string format = params.Get("format");
  std::transform(format.begin(), format.end(), format.begin(), [](char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  });
  return format == "JSON";
}

std::int64_t CRestService::NowLocked() const {
  return m_nFixedNow ? *m_nFixedNow
                     : static_cast<std::int64_t>(std::time(nullptr)) + m_nClockOffset;
}

CalendarDate CRestService::TodayLocked() const {
  return m_today ? *m_today : LocalDateAt(NowLocked());
}

std::int64_t CRestService::WallCountLocked() const {
  const std::int64_t elapsed = NowLocked() - m_nWallEpoch;
  return m_nWallCount +
         (m_nWallPostInterval > 0 && elapsed > 0 ? elapsed / m_nWallPostInterval : 0);
}

std::string CRestService::RandomHex(std::size_t digits) {
  static const char kDigits[] = "0123456789abcdef";
  std::uniform_int_distribution<int> pick(0, 15);
  std::string text;
  for (std::size_t i = 0; i < digits; ++i) {
    text.push_back(kDigits[pick(m_random)]);
  }
  return text;
}

// The secret a request must be signed with: the session's secret when the method works on a
// session and the request names a session of its application, else the application secret.
// null for an unknown API key.
const std::string* CRestService::FindSecretLocked(const CRequestParams& params,
                                                  const SessionRecord** session) const {
  auto application = m_mapApplications.find(params.Get("api_key"));
  if (application == m_mapApplications.end()) {
    return nullptr;
  }
  if (session != nullptr) {
    auto found = m_mapSessions.find(params.Get("session_key"));
    if (found != m_mapSessions.end() && found->second.strApiKey == application->first) {
      *session = &found->second;
      return &found->second.strSecret;
    }
  }
  return &application->second;
}

bool CRestService::IsSignatureValid(const CRequestParams& params) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const MethodSpec* method = FindMethod(CanonicalMethod(params.Get("method")));
  const SessionRecord* session = nullptr;
  const std::string* secret =
      FindSecretLocked(params, method && method->bNeedsSession ? &session : nullptr);
  return secret && params.Get("sig") == ExpectedSignature(params, *secret);
}

RestOutcome CRestService::Call(const CRequestParams& params) {
  std::lock_guard<std::mutex> lock(m_mutex);
  RestOutcome outcome;
  outcome.bJson = WantsJson(params);
  const MethodSpec* method = FindMethod(CanonicalMethod(params.Get("method")));
  outcome.strMethod = method ? method->szName : params.Get("method");

  const SessionRecord* found = nullptr;
  const std::string* secret =
      FindSecretLocked(params, method && method->bNeedsSession ? &found : nullptr);
  SessionRecord* session = found ? &m_mapSessions.find(params.Get("session_key"))->second : nullptr;
  outcome.bSignatureValid = secret && params.Get("sig") == ExpectedSignature(params, *secret);

  MethodResult result;
  if (!method) {
    result.nErrorCode = 3;
  } else if (!secret) {
    result.nErrorCode = 101;
  } else if (method->bNeedsSession && !session && !params.Get("session_key").empty()) {
    // Signed with a secret this service never issued, so the signature cannot be checked; a
    // client that kept a session across a restart of the service hears that it has ended.
    result.nErrorCode = 102;
  } else if (!outcome.bSignatureValid) {
    result.nErrorCode = 104;
  } else if (params.Get("v") != "1.0") {
    result.nErrorCode = 100;
  } else if (method->bNeedsSession && session &&
             !IsGreaterCallId(params.Get("call_id"), session->strLastCallId)) {
    result.nErrorCode = 103;
  } else if (method->bNeedsSession && !session) {
    result.nErrorCode = 102;
  } else {
    if (session) {
      session->strLastCallId = params.Get("call_id");
    }
    const std::string name = method->szName;
    if (session && session->nExpires != 0 && NowLocked() >= session->nExpires) {
      result.nErrorCode = 450;
    } else if (name == "facebook.auth.createToken") {
      result = CreateToken(params);
    } else if (name == "facebook.auth.getSession") {
      result = GetSession(params);
    } else if (name == "facebook.users.setStatus") {
      result = SetStatusMethod(params);
    } else if (name == "facebook.notifications.get") {
      result = GetNotifications();
    } else if (name == "facebook.users.hasAppPermission") {
      result = HasAppPermission(params);
    } else {
      result = QueryFql(params);
    }
  }

  // A session was used (its last call id moved) or a method changed what is kept.
  if (session || (result.nErrorCode == 0 && method &&
                  (std::string_view(method->szName) == "facebook.auth.getSession" ||
                   std::string_view(method->szName) == "facebook.users.setStatus"))) {
    StateChangedLocked();
  }

  outcome.nErrorCode = result.nErrorCode;
  if (result.nErrorCode != 0) {
    outcome.document = ErrorAnswer(
        result.nErrorCode,
        result.strMessage.empty() ? ErrorMessageFor(result.nErrorCode) : result.strMessage, params);
  } else {
    outcome.document = std::move(result.document);
  }
  return outcome;
}

CRestService::MethodResult CRestService::CreateToken(const CRequestParams& params) {
  std::string token = RandomHex(32);
  m_mapTokens[token] = TokenRecord{params.Get("api_key"), false};
  m_aTokenOrder.push_back(token);
  // Tokens nobody logs in with pile up; the oldest go first.
  while (m_aTokenOrder.size() > kMaxPendingTokens) {
    m_mapTokens.erase(m_aTokenOrder.front());
    m_aTokenOrder.pop_front();
  }
  MethodResult result;
  result.document.root = CAnswerNode::Text("auth_createToken_response", std::move(token));
  result.document.bPadRootText = true;
  return result;
}

CRestService::MethodResult CRestService::GetSession(const CRequestParams& params) {
  MethodResult result;
  auto token = m_mapTokens.find(params.Get("auth_token"));
  if (token == m_mapTokens.end() || token->second.strApiKey != params.Get("api_key") ||
      !token->second.bApproved) {
    result.nErrorCode = 100;
    return result;
  }
  // A token is good for one session.
  m_aTokenOrder.erase(std::find(m_aTokenOrder.begin(), m_aTokenOrder.end(), token->first));
  m_mapTokens.erase(token);

  SessionRecord session;
  session.strApiKey = params.Get("api_key");
  session.strUid = m_user.strUid;
  session.strSecret = RandomHex(32);
  session.nExpires = m_nSessionLifetime > 0 ? NowLocked() + m_nSessionLifetime : 0;
  const std::string key = RandomHex(24) + "-" + m_user.strUid;
  m_mapSessions[key] = session;

  result.document.root = CAnswerNode::Record(
      "auth_getSession_response",
      {CAnswerNode::Text("session_key", key), CAnswerNode::Text("uid", session.strUid),
       CAnswerNode::Number("expires", session.nExpires),
       CAnswerNode::Text("secret", session.strSecret)});
  return result;
}

CRestService::MethodResult CRestService::SetStatusMethod(const CRequestParams& params) {
  MethodResult result;
  if (m_setPermissions.count("status_update") == 0) {
    result.nErrorCode = 250;
    return result;
  }
  const std::optional<bool> clear = ParseBoolean(params.Get("clear"));
  const std::optional<bool> includesVerb = ParseBoolean(params.Get("status_includes_verb"));
  if (!clear || !includesVerb || (!*clear && !params.Has("status"))) {
    result.nErrorCode = 100;
    return result;
  }
  std::string message;
  if (!*clear && !params.Get("status").empty()) {
    // Without status_includes_verb the service writes the verb itself.
    message = (*includesVerb ? "" : "is ") + params.Get("status");
  }
  m_user.status = StatusRecord{message, NowLocked()};
  result.document.root = CAnswerNode::Bool("users_setStatus_response", true);
  return result;
}

CRestService::MethodResult CRestService::GetNotifications() {
  MethodResult result;
  result.document.root = CAnswerNode::Record(
      "notifications_get_response",
      {CounterNode("messages", m_notifications.messages),
       CounterNode("pokes", m_notifications.pokes), CounterNode("shares", m_notifications.shares),
       IdList("friend_requests", "uid", m_notifications.aFriendRequests),
       IdList("group_invites", "gid", m_notifications.aGroupInvites),
       IdList("event_invites", "eid", m_notifications.aEventInvites)});
  result.document.root.MarkAsList();
  return result;
}

CRestService::MethodResult CRestService::HasAppPermission(const CRequestParams& params) {
  MethodResult result;
  const std::string permission = params.Get("ext_perm");
  if (!IsKnownPermission(permission)) {
    result.nErrorCode = 100;
    return result;
  }
  result.document.root =
      CAnswerNode::Bool("users_hasAppPermission_response", m_setPermissions.count(permission) != 0);
  return result;
}

CRestService::MethodResult CRestService::QueryFql(const CRequestParams& params) {
  const CalendarDate today = TodayLocked();
  FqlTables tables;
  tables.aUsers.push_back(FqlUser{Expanded(m_user, today), WallCountLocked()});
  for (const PersonRecord& person : m_aFriends) {
    tables.aUsers.push_back(FqlUser{Expanded(person, today), 0});
    tables.aFriendships.emplace_back(m_user.strUid, person.strUid);
    tables.aFriendships.emplace_back(person.strUid, m_user.strUid);
  }
  FqlOutcome query = RunFqlQuery(params.Get("query"), tables);
  MethodResult result;
  if (!query.bOk) {
    result.nErrorCode = 601;
    result.strMessage = query.strError;
    return result;
  }
  result.document.root = std::move(query.rows);
  result.document.bSchemaLocation = false;
  return result;
}

bool CRestService::IsKnownApiKey(std::string_view apiKey) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_mapApplications.find(apiKey) != m_mapApplications.end();
}

bool CRestService::IsPendingToken(std::string_view apiKey, std::string_view token) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto found = m_mapTokens.find(token);
  return found != m_mapTokens.end() && found->second.strApiKey == apiKey;
}

bool CRestService::ApproveToken(std::string_view apiKey, std::string_view token) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto found = m_mapTokens.find(token);
  if (found == m_mapTokens.end() || found->second.strApiKey != apiKey) {
    return false;
  }
  found->second.bApproved = true;
  return true;
}

ServiceSnapshot CRestService::Snapshot() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  ServiceSnapshot snapshot;
  snapshot.nNow = NowLocked();
  snapshot.today = TodayLocked();
  snapshot.user = Expanded(m_user, snapshot.today);
  for (const PersonRecord& person : m_aFriends) {
    snapshot.aFriends.push_back(Expanded(person, snapshot.today));
  }
  snapshot.nWallCount = WallCountLocked();
  snapshot.notifications = m_notifications;
  snapshot.aPermissions.assign(m_setPermissions.begin(), m_setPermissions.end());
  for (const auto& entry : m_mapSessions) {
    if (entry.second.nExpires == 0 || snapshot.nNow < entry.second.nExpires) {
      ++snapshot.nLiveSessions;
    }
  }
  return snapshot;
}

void CRestService::PostToWall(std::int64_t posts) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_nWallCount = std::max<std::int64_t>(0, m_nWallCount + posts);
}

bool CRestService::SetStatus(std::string_view uid, const StatusRecord& status) {
  std::lock_guard<std::mutex> lock(m_mutex);
  PersonRecord* person = FindPersonLocked(uid);
  if (person == nullptr) {
    return false;
  }
  person->status = status;
  StateChangedLocked();
  return true;
}

PersonRecord* CRestService::FindPersonLocked(std::string_view uid) {
  if (m_user.strUid == uid) {
    return &m_user;
  }
  for (PersonRecord& person : m_aFriends) {
    if (person.strUid == uid) {
      return &person;
    }
  }
  return nullptr;
}

void CRestService::ChangeNotifications(
    const std::function<void(NotificationState&, std::int64_t)>& change) {
  std::lock_guard<std::mutex> lock(m_mutex);
  NotificationState changed = m_notifications;
  change(changed, NowLocked());
  m_notifications = std::move(changed);
}

void CRestService::SetPermission(std::string_view name, bool granted) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (granted) {
    m_setPermissions.emplace(name);
  } else {
    auto found = m_setPermissions.find(name);
    if (found != m_setPermissions.end()) {
      m_setPermissions.erase(found);
    }
  }
  StateChangedLocked();
}

std::size_t CRestService::ExpireSessions(std::string_view sessionKey) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const std::int64_t now = NowLocked();
  std::size_t count = 0;
  for (auto& entry : m_mapSessions) {
    if (sessionKey.empty() || entry.first == sessionKey) {
      entry.second.nExpires = now;
      ++count;
    }
  }
  if (count != 0) {
    StateChangedLocked();
  }
  return count;
}

std::int64_t CRestService::Now() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return NowLocked();
}

CalendarDate CRestService::Today() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return TodayLocked();
}

void CRestService::SetNow(std::int64_t now) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_nFixedNow = now;
}

void CRestService::AdvanceClock(std::int64_t seconds) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_nFixedNow) {
    *m_nFixedNow += seconds;
  } else {
    m_nClockOffset += seconds;
  }
}

void CRestService::SetToday(std::optional<CalendarDate> today) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_today = today;
}

void CRestService::SetSessionLifetime(std::int64_t seconds) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_nSessionLifetime = seconds;
}

ServiceState CRestService::SavedState() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return SavedStateLocked();
}

ServiceState CRestService::SavedStateLocked() const {
  ServiceState state;
  for (const auto& [key, session] : m_mapSessions) {
    state.aSessions.push_back({key, session.strApiKey, session.strUid, session.strSecret,
                               session.nExpires, session.strLastCallId});
  }
  state.aPermissions.assign(m_setPermissions.begin(), m_setPermissions.end());
  state.aStatuses.emplace_back(m_user.strUid, m_user.status);
  for (const PersonRecord& person : m_aFriends) {
    state.aStatuses.emplace_back(person.strUid, person.status);
  }
  return state;
}

void CRestService::RestoreState(const ServiceState& state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const ServiceState::Session& session : state.aSessions) {
    if (m_mapApplications.count(session.strApiKey) != 0 && session.strUid == m_user.strUid &&
        !session.strKey.empty() && !session.strSecret.empty()) {
      m_mapSessions[session.strKey] =
          SessionRecord{session.strApiKey, session.strUid, session.strSecret, session.nExpires,
                        session.strLastCallId};
    }
  }
  // What was granted or revoked since the scenario began holds on.
  m_setPermissions.clear();
  for (const std::string& permission : state.aPermissions) {
    if (IsKnownPermission(permission)) {
      m_setPermissions.insert(permission);
    }
  }
  for (const auto& [uid, status] : state.aStatuses) {
    if (PersonRecord* person = FindPersonLocked(uid)) {
      person->status = status;
    }
  }
}

void CRestService::SetStateObserver(std::function<void(const ServiceState&)> observer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_stateObserver = std::move(observer);
}

void CRestService::StateChangedLocked() {
  if (m_stateObserver) {
    m_stateObserver(SavedStateLocked());
  }
}
