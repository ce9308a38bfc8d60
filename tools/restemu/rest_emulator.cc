#include "tools/restemu/rest_emulator.h"

#include <chrono>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "tools/http_front/http_server.h"
#include "tools/restemu/json_fields.h"
#include "tools/restemu/self_signed_certificate.h"
#include "tools/restemu/site_pages.h"
#include "tools/restemu/tls_http_server.h"

namespace {

constexpr std::size_t kMaxCallRecords = 10000;
constexpr std::size_t kMaxCallLogBytes = 16u * 1024 * 1024;
constexpr std::size_t kMaxOversizedBytes = 256u * 1024 * 1024;

const char kHtmlType[] = "text/html; charset=utf-8";
const char kJsonType[] = "application/json";

const char kInternalErrorPage[] =
    "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n<html><head>\n"
    "<title>500 Internal Server Error</title>\n</head><body>\n<h1>Internal Server Error</h1>\n"
    "<p>The server encountered an internal error or misconfiguration and was unable to "
    "complete your request.</p>\n</body></html>\n";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// The query string, then the body: form-encoded or multipart. Parts that carry a file name
// are uploads, not parameters. Bodies of any other type carry no parameters. False for a
// multipart body that does not follow its boundary.
bool ReadParams(const HttpRequest& request, CRequestParams& params) {
  ParseUrlEncoded(request.strQuery, params);
  const std::string type = request.Header("Content-Type");
  if (StartsWithNoCase(type, "multipart/form-data")) {
    return ParseMultipart(request.strBody, MultipartBoundary(type), params);
  }
  if (StartsWithNoCase(type, "application/x-www-form-urlencoded")) {
    ParseUrlEncoded(request.strBody, params);
  }
  return true;
}

void SetText(HttpResponse& response, int status, std::string body, const char* type) {
  response.nStatus = status;
  response.strBody = std::move(body);
  response.strContentType = type;
}

// The size a call takes in the log, near enough.
std::size_t RecordBytes(const CallRecord& record) {
  std::size_t bytes = sizeof record + record.strMethod.size() + record.strFault.size();
  for (const RequestParam& param : record.aParams) {
    bytes += sizeof param + param.strName.size() + param.strValue.size();
  }
  return bytes;
}

// A well-formed answer of at least `bytes` bytes: XML gets a long comment after its
// declaration, JSON trailing blanks.
std::string Oversized(std::string body, bool bJson, std::size_t bytes) {
  const std::size_t padding = bytes > body.size() + 8 ? bytes - body.size() - 8 : 0;
  if (bJson) {
    body.append(padding + 8, ' ');
    return body;
  }
  const std::size_t afterDeclaration = body.find('\n') + 1;
  std::string padded = body.substr(0, afterDeclaration);
  padded.reserve(bytes + 16);
  padded += "<!--";
  padded.append(padding, 'x');
  padded += "-->\n";
  padded.append(body, afterDeclaration, std::string::npos);
  return padded;
}

// The answer cut before its last closing tag (XML) or in its middle (JSON).
std::string Malformed(std::string body, bool bJson) {
  if (bJson) {
    body.resize(body.size() / 2);
    return body;
  }
  body.resize(body.rfind("</"));
  body += "<&";
  return body;
}

nlohmann::json PersonJson(const PersonRecord& person) {
  return {{"uid", person.strUid},
          {"name", person.strName},
          {"status", {{"message", person.status.strMessage}, {"time", person.status.nTime}}},
          {"birthday", person.strBirthday}};
}

nlohmann::json CounterJson(const NotificationCounter& counter) {
  return {{"unread", counter.nUnread}, {"most_recent", counter.nMostRecent}};
}

nlohmann::json SnapshotJson(const ServiceSnapshot& snapshot) {
  nlohmann::json friends = nlohmann::json::array();
  for (const PersonRecord& person : snapshot.aFriends) {
    friends.push_back(PersonJson(person));
  }
  const NotificationState& state = snapshot.notifications;
  return {{"now", snapshot.nNow},
          {"today", FormatIsoDate(snapshot.today)},
          {"user", PersonJson(snapshot.user)},
          {"wall_count", snapshot.nWallCount},
          {"friends", friends},
          {"notifications",
           {{"messages", CounterJson(state.messages)},
            {"pokes", CounterJson(state.pokes)},
            {"shares", CounterJson(state.shares)},
            {"friend_requests", state.aFriendRequests},
            {"group_invites", state.aGroupInvites},
            {"event_invites", state.aEventInvites}}},
          {"permissions", snapshot.aPermissions},
          {"live_sessions", snapshot.nLiveSessions}};
}

nlohmann::json CallJson(const CallRecord& call) {
  nlohmann::json params = nlohmann::json::array();
  for (const RequestParam& param : call.aParams) {
    params.push_back({{"key", param.strName}, {"value", param.strValue}});
  }
  return {{"method", call.strMethod},
          {"params", params},
          {"signature_valid", call.bSignatureValid},
          {"error_code", call.nErrorCode},
          {"fault", call.strFault}};
}

FaultSpec ReadFault(const CJsonField& field) {
  field.RequireObject({"method", "kind", "count", "delay_ms", "error_code", "error_msg", "bytes"});
  FaultSpec fault;
  fault.strMethod = field.Member("method").String();
  if (fault.strMethod.empty()) {
    field.Member("method").Fail("name a method, or \"*\" for every method");
  }
  const std::optional<FaultKind> kind = ParseFaultKind(field.Member("kind").String());
  if (!kind) {
    field.Member("kind").Fail("expected one of delay, http500, drop, oversized, malformed, error");
  }
  fault.kind = *kind;
  if (field.Has("count")) {
    fault.nCount = static_cast<int>(field.Member("count").Integer(1, 1000000));
  }
  if (field.Has("delay_ms")) {
    fault.nDelayMs = static_cast<int>(field.Member("delay_ms").Integer(0, 600000));
  }
  if (field.Has("error_code")) {
    fault.nErrorCode = static_cast<int>(field.Member("error_code").Integer(1, 99999));
  }
  if (field.Has("error_msg")) {
    fault.strErrorMessage = field.Member("error_msg").String();
  }
  if (field.Has("bytes")) {
    fault.nBytes = static_cast<std::size_t>(field.Member("bytes").Integer(1, kMaxOversizedBytes));
  }
  return fault;
}

}  // namespace

const char* FaultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kDelay:
      return "delay";
    case FaultKind::kHttp500:
      return "http500";
    case FaultKind::kDropConnection:
      return "drop";
    case FaultKind::kOversized:
      return "oversized";
    case FaultKind::kMalformed:
      return "malformed";
    case FaultKind::kErrorCode:
      return "error";
  }
  return "";
}

std::optional<FaultKind> ParseFaultKind(std::string_view name) {
  for (FaultKind kind : {FaultKind::kDelay, FaultKind::kHttp500, FaultKind::kDropConnection,
                         FaultKind::kOversized, FaultKind::kMalformed, FaultKind::kErrorCode}) {
    if (name == FaultKindName(kind)) {
      return kind;
    }
  }
  return std::nullopt;
}

CRestEmulator::CRestEmulator(const Scenario& scenario)
    : m_service(scenario),
      m_pServer(
          std::make_unique<CHttpServer>([this](const HttpRequest& request, HttpResponse& response) {
            Route(request, response);
          })) {}

CRestEmulator::~CRestEmulator() {
  Stop();
}

int CRestEmulator::Start(int port) {
  if (m_nPort != 0) {
    throw std::logic_error("the emulator was started already");
  }
  m_nPort = m_pServer->Start(port);
  return m_nPort;
}

void CRestEmulator::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_stopMutex);
    m_bStopping = true;
  }
  m_stopSignal.notify_all();
  m_pServer->Stop();
  if (m_pTlsServer) {
    m_pTlsServer->Stop();
  }
}

std::string CRestEmulator::Address() const {
  return "http://127.0.0.1:" + std::to_string(m_nPort);
}

int CRestEmulator::StartTls(int port) {
  if (m_pTlsServer) {
    throw std::logic_error("the emulator serves TLS already");
  }
  m_pCertificate = std::make_unique<CSelfSignedCertificate>(LoopbackHosts());
  m_pTlsServer = std::make_unique<CTlsHttpServer>(
      [this](const HttpRequest& request, HttpResponse& response) { Route(request, response); },
      *m_pCertificate);
  m_nTlsPort = m_pTlsServer->Start(port);
  return m_nTlsPort;
}

std::string CRestEmulator::TlsAddress() const {
  return "https://127.0.0.1:" + std::to_string(m_nTlsPort);
}

std::string CRestEmulator::CertificatePem() const {
  return m_pCertificate ? m_pCertificate->Pem() : std::string();
}

void CRestEmulator::InjectFault(FaultSpec fault) {
  if (fault.strMethod != "*") {
    fault.strMethod = CRestService::CanonicalMethod(fault.strMethod);
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_aFaults.push_back(std::move(fault));
}

void CRestEmulator::ClearFaults() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_aFaults.clear();
}

std::vector<CallRecord> CRestEmulator::Calls() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return std::vector<CallRecord>(m_aCalls.begin(), m_aCalls.end());
}

void CRestEmulator::ClearCalls() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_aCalls.clear();
  m_nCallBytes = 0;
}

void CRestEmulator::SetCallObserver(std::function<void(const CallRecord&)> observer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_observer = std::move(observer);
}

std::optional<FaultSpec> CRestEmulator::TakeFault(const std::string& method) {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (auto it = m_aFaults.begin(); it != m_aFaults.end(); ++it) {
    if (it->strMethod == "*" || it->strMethod == method) {
      FaultSpec fault = *it;
      if (--it->nCount <= 0) {
        m_aFaults.erase(it);
      }
      return fault;
    }
  }
  return std::nullopt;
}

void CRestEmulator::Record(CallRecord record) {
  std::function<void(const CallRecord&)> observer;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nCallBytes += RecordBytes(record);
    m_aCalls.push_back(record);
    while (m_aCalls.size() > kMaxCallRecords ||
           (m_nCallBytes > kMaxCallLogBytes && m_aCalls.size() > 1)) {
      m_nCallBytes -= RecordBytes(m_aCalls.front());
      m_aCalls.pop_front();
    }
    observer = m_observer;
  }
  if (observer) {
    observer(record);
  }
}

void CRestEmulator::Pause(int ms) {
  std::unique_lock<std::mutex> lock(m_stopMutex);
  m_stopSignal.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_bStopping; });
}

void CRestEmulator::HandleRest(const HttpRequest& request, HttpResponse& response) {
  CRequestParams params;
  if (!ReadParams(request, params)) {
    SetText(response, 400, "the multipart body does not follow its boundary\n",
            "text/plain; charset=utf-8");
    return;
  }
  const std::string method = CRestService::CanonicalMethod(params.Get("method"));
  const std::optional<FaultSpec> fault = TakeFault(method);
  const FaultKind kind = fault ? fault->kind : FaultKind::kDelay;

  CallRecord record;
  record.strMethod = method;
  record.aParams = params.Items();
  record.strFault = fault ? FaultKindName(fault->kind) : "";

  if (fault && kind == FaultKind::kDelay) {
    Pause(fault->nDelayMs);
  }
  if (fault && kind == FaultKind::kHttp500) {
    record.bSignatureValid = m_service.IsSignatureValid(params);
    SetText(response, 500, kInternalErrorPage, kHtmlType);
    Record(std::move(record));
    return;
  }

  RestOutcome outcome;
  if (fault && kind == FaultKind::kErrorCode) {
    outcome.strMethod = method;
    outcome.bJson = CRestService::WantsJson(params);
    outcome.bSignatureValid = m_service.IsSignatureValid(params);
    outcome.nErrorCode = fault->nErrorCode;
    outcome.document =
        ErrorAnswer(fault->nErrorCode,
                    fault->strErrorMessage.empty() ? ErrorMessageFor(fault->nErrorCode)
                                                   : fault->strErrorMessage,
                    params);
  } else {
    outcome = m_service.Call(params);
  }
  record.strMethod = outcome.strMethod;
  record.bSignatureValid = outcome.bSignatureValid;
  record.nErrorCode = outcome.nErrorCode;

  std::string body = outcome.Body();
  const char* type = outcome.bJson ? "text/javascript; charset=utf-8" : "text/xml; charset=utf-8";
  if (fault && kind == FaultKind::kOversized) {
    body = Oversized(std::move(body), outcome.bJson, fault->nBytes);
  } else if (fault && kind == FaultKind::kMalformed) {
    body = Malformed(std::move(body), outcome.bJson);
  }
  SetText(response, 200, std::move(body), type);
  response.bCutHalfway = fault && kind == FaultKind::kDropConnection;
  Record(std::move(record));
}

void CRestEmulator::Route(const HttpRequest& request, HttpResponse& response) {
  const std::string& path = request.strPath;
  const bool bGet = request.strMethod == "GET" || request.strMethod == "HEAD";
  const bool bPost = request.strMethod == "POST";
  if (path == "/restserver.php" && bPost) {
    HandleRest(request, response);
  } else if (path.rfind("/_emu/", 0) == 0 && (bGet || bPost)) {
    HandleControl(request, response);
  } else if (path == "/login.php" && (bGet || bPost)) {
    HandleLogin(request, response);
  } else if (path == "/authorize.php" && (bGet || bPost)) {
    HandleAuthorize(request, response);
  } else if (bGet) {
    HandlePage(request, response);
  } else {
    SetText(response, 404, MessagePage("Not found", "There is no such page."), kHtmlType);
  }
}

void CRestEmulator::HandlePage(const HttpRequest& request, HttpResponse& response) {
  const std::string& path = request.strPath;
  const ServiceSnapshot snapshot = m_service.Snapshot();
  std::string (*render)(const ServiceSnapshot&) = nullptr;
  if (path == "/" || path == "/home.php") {
    render = &HomePage;
  } else if (path == "/inbox" || path == "/inbox/") {
    render = &InboxPage;
  } else if (path == "/reqs.php") {
    render = &RequestsPage;
  } else if (path == "/wall.php") {
    render = &WallPage;
  }
  if (render != nullptr) {
    SetText(response, 200, render(snapshot), kHtmlType);
    return;
  }
  if (path != "/profile.php") {
    SetText(response, 404, MessagePage("Not found", "There is no such page."), kHtmlType);
    return;
  }
  CRequestParams params;
  ReadParams(request, params);
  const std::string uid = params.Get("id");
  const PersonRecord* person =
      uid.empty() || uid == snapshot.user.strUid ? &snapshot.user : nullptr;
  for (const PersonRecord& entry : snapshot.aFriends) {
    person = entry.strUid == uid ? &entry : person;
  }
  if (person == nullptr) {
    SetText(response, 404, MessagePage("Profile not found", "This profile is not available."),
            kHtmlType);
    return;
  }
  SetText(response, 200, ProfilePage(snapshot, *person), kHtmlType);
}

// The token login: the page shows a form; posting the form approves the token.
void CRestEmulator::HandleLogin(const HttpRequest& request, HttpResponse& response) {
  CRequestParams params;
  ReadParams(request, params);
  const std::string apiKey = params.Get("api_key");
  const std::string token = params.Get("auth_token");
  const std::string userName = m_service.Snapshot().user.strName;
  if (!m_service.IsKnownApiKey(apiKey)) {
    SetText(response, 400, MessagePage("Error", "Invalid API key."), kHtmlType);
  } else if (!m_service.IsPendingToken(apiKey, token)) {
    SetText(response, 400,
            MessagePage("Error", "This login link is not valid. Please start the login again."),
            kHtmlType);
  } else if (request.strMethod != "POST") {
    SetText(response, 200, LoginPage(userName, apiKey, token, params.Get("v")), kHtmlType);
  } else {
    m_service.ApproveToken(apiKey, token);
    SetText(response, 200, LoginDonePage(userName), kHtmlType);
  }
}

void CRestEmulator::HandleAuthorize(const HttpRequest& request, HttpResponse& response) {
  CRequestParams params;
  ReadParams(request, params);
  const std::string apiKey = params.Get("api_key");
  const std::string permission = params.Get("ext_perm");
  if (!m_service.IsKnownApiKey(apiKey)) {
    SetText(response, 400, MessagePage("Error", "Invalid API key."), kHtmlType);
  } else if (!IsKnownPermission(permission)) {
    SetText(response, 400, MessagePage("Error", "Unknown extended permission."), kHtmlType);
  } else if (request.strMethod != "POST") {
    SetText(response, 200,
            AuthorizePage(m_service.Snapshot().user.strName, apiKey, params.Get("v"), permission),
            kHtmlType);
  } else {
    const bool bGranted = params.Get("decision") == "allow";
    if (bGranted) {
      m_service.SetPermission(permission, true);
    }
    SetText(response, 200, AuthorizeDonePage(permission, bGranted), kHtmlType);
  }
}

void CRestEmulator::HandleControl(const HttpRequest& request, HttpResponse& response) {
  const std::string& path = request.strPath;
  const bool bGet = request.strMethod != "POST";
  nlohmann::json answer = {{"ok", true}};
  response.nStatus = 200;
  try {
    if (!IsUtf8(path)) {
      throw CFieldError("path: not valid UTF-8");
    }
    if (bGet && path == "/_emu/calls") {
      answer["calls"] = nlohmann::json::array();
      for (const CallRecord& call : Calls()) {
        answer["calls"].push_back(CallJson(call));
      }
    } else if (bGet && path == "/_emu/state") {
      answer["state"] = SnapshotJson(m_service.Snapshot());
    } else if (bGet) {
      response.nStatus = 404;
      answer = {{"ok", false}, {"error", "no such control operation: " + path}};
    } else {
      const nlohmann::json document = request.strBody.empty()
                                          ? nlohmann::json::object()
                                          : ParseJsonDocument(request.strBody, "the request");
      const CJsonField body(document, "");
      if (path == "/_emu/calls/clear") {
        body.RequireObject({});
        ClearCalls();
      } else if (path == "/_emu/wall") {
        body.RequireObject({"posts"});
        m_service.PostToWall(body.Has("posts") ? body.Member("posts").Integer(-1000000, 1000000)
                                               : 1);
      } else if (path == "/_emu/status") {
        body.RequireObject({"uid", "status"});
        const std::string uid = body.Member("uid").Id();
        if (!m_service.SetStatus(uid, ReadStatus(body.Member("status"), m_service.Now()))) {
          body.Member("uid").Fail("no user has the id " + uid);
        }
      } else if (path == "/_emu/notifications") {
        m_service.ChangeNotifications([&body](NotificationState& state, std::int64_t now) {
          ReadNotifications(body, now, state);
        });
      } else if (path == "/_emu/sessions/expire") {
        body.RequireObject({"session_key"});
        std::string key;
        if (body.Has("session_key")) {
          key = body.Member("session_key").String();
          if (key.empty()) {
            body.Member("session_key")
                .Fail("expected a session key; leave it out for every session");
          }
        }
        answer["expired"] = m_service.ExpireSessions(key);
      } else if (path == "/_emu/permissions") {
        body.RequireObject({"name", "granted"});
        const std::string name = body.Member("name").String();
        if (!IsKnownPermission(name)) {
          body.Member("name").Fail("unknown extended permission " + QuotedText(name));
        }
        m_service.SetPermission(name, body.Member("granted").Boolean());
      } else if (path == "/_emu/faults") {
        InjectFault(ReadFault(body));
      } else if (path == "/_emu/faults/clear") {
        body.RequireObject({});
        ClearFaults();
      } else if (path == "/_emu/clock") {
        body.RequireObject({"now", "advance", "today", "session_lifetime"});
        constexpr std::int64_t kLimit = std::int64_t{1} << 40;
        if (body.Has("now")) {
          m_service.SetNow(body.Member("now").Integer(0, kLimit));
        }
        if (body.Has("advance")) {
          m_service.AdvanceClock(body.Member("advance").Integer(-kLimit, kLimit));
        }
        if (body.Has("today")) {
          const CJsonField today = body.Member("today");
          std::optional<CalendarDate> date;
          if (!today.IsNull()) {
            date = ParseIsoDate(today.String());
            if (!date) {
              today.Fail("expected a date written YYYY-MM-DD, or null");
            }
          }
          m_service.SetToday(date);
        }
        if (body.Has("session_lifetime")) {
          m_service.SetSessionLifetime(body.Member("session_lifetime").Integer(0, kLimit));
        }
      } else {
        response.nStatus = 404;
        answer = {{"ok", false}, {"error", "no such control operation: " + path}};
      }
    }
  } catch (const CFieldError& error) {
    response.nStatus = 400;
    answer = {{"ok", false}, {"error", error.what()}};
  }
  // What clients sent comes back in the call log and the state; bytes that are not UTF-8
  // come back as U+FFFD.
  SetText(response, response.nStatus, DumpJson(answer), kJsonType);
}
