// The REST client: the one object of the process that talks to the service, and the state
// it keeps about the logged-in user.
//
// Threading: the configuration is read-only after construction and may be read from any
// thread. The state (auth token, session, counts, own record, friends) is read and written
// only under m_csState, by the methods here and by the other parts of the add-in that show
// or store it; values leave the lock as copies. The lock is never held across a request,
// a message box or a browser launch, so another thread may end the session while a request
// is on its way: the methods that need a session store an answer only while the session is
// still the one the request was sent with, and drop it (with a debug line) otherwise.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/deployment.h"
#include "facebook/call_result.h"
#include "facebook/facebook_records.h"
#include "facebook/request_params.h"

class CLogger;
class IClock;
class IHttpTransport;
class IXmlNode;
class IXmlParser;

class CFacebookClient {
 public:
  // The collaborators must outlive the client. `logger` is the "fap" category.
  CFacebookClient(const DeploymentConfig& config, IHttpTransport& http, IXmlParser& xml,
                  IClock& clock, CLogger& logger);
  CFacebookClient(const CFacebookClient&) = delete;
  CFacebookClient& operator=(const CFacebookClient&) = delete;

  // Configuration.
  const std::string m_strApiKey;      // "api_key" of every call
  const std::string m_strAppSecret;   // signs the calls made without a session secret
  const std::string m_strApiVersion;  // "v" of every call: "1.0"
  // The API server, from the deployment's address. An address that cannot be read leaves
  // the host empty (every call then fails to connect) and TLS on.
  const std::string m_strApiHost;
  const std::string m_strApiPath;  // "/restserver.php"
  const std::string m_strLoginPage;
  const int m_nApiPort;
  const bool m_bApiOverTls;  // the certificate is checked; no fall-back to plain HTTP
  const std::string m_strAuthorizePage;
  const std::string m_strNamespaceUri;  // namespace of the service's answers

  // State, guarded by m_csState.
  std::string m_strAuthToken;  // token of the login in progress
  FacebookSession m_session;
  ActivityCounts m_counts;
  UserInfo m_self;
  std::vector<UserInfo> m_friends;  // order of the last friends answer, at most 100
  mutable std::mutex m_csState;

  // Key and secret both set. Takes the lock.
  bool IsLoggedIn() const;
  // Back to logged out in one step: token, session, counts, own record and friends.
  void ClearSession();
  // A copy of the session, taken under the lock.
  FacebookSession CurrentSession() const;
  // Whether `session` (a copy taken earlier) is still the current one: no logout, no expiry
  // and no other login since.
  bool IsCurrentSession(const FacebookSession& session) const;
  // ClearSession, but only while `session` is still the current one, so that whoever began
  // with it never ends a session begun since. True when it cleared.
  bool ClearSessionIfCurrent(const FacebookSession& session);

  // The six methods. Those with a result report through it (the caller inspects it, see
  // GetErrorText); the others report only through the state and the log.
  bool CreateToken(FacebookCallResult& result);
  bool GetSession(FacebookCallResult& result);
  // Posts `text` as the status (sent as given), or clears the status when there is none.
  bool SetStatus(const std::optional<std::wstring>& text, FacebookCallResult& result);
  void GetNotifications();
  void GetMyInfo();
  void QueryFriends();

  // Fills the five strings of `info` from an "nfb:user" node (a missing element leaves its
  // field as it was), then derives the birthday's month and day. Always true.
  static bool ReadUserInfo(UserInfo& info, const IXmlNode* node);
  static void ClearUserInfo(UserInfo& info);
  // The local month as "jan" ... "dec".
  std::wstring GetMonthAbbrev() const;

  // Collaborators, for the call driver.
  IHttpTransport& Http() const { return m_http; }
  IXmlParser& Xml() const { return m_xml; }
  CLogger& Log() const { return m_log; }
  CCallIdSource& CallIds() { return m_callIds; }

 private:
  // The common check of an answer: a dead session ("102", "450") clears the session when
  // the call was made with one (`askedWith`) and that session is still the current one; a
  // root other than `expectedRoot` is logged with `tag` and becomes -2. True when the result
  // is still a success.
  bool CheckAnswer(FacebookCallResult& result, const wchar_t* expectedRoot, const char* tag,
                   const FacebookSession* askedWith);
  // The session for a query, copied under the lock; nothing when logged out or without a
  // user id, and nothing (with an error line tagged `tag`) when the id is not a decimal
  // number.
  std::optional<FacebookSession> SessionForQuery(const char* tag);
  // ClearSession's work, for a caller that holds the lock.
  void ClearStateUnderLock();

  IHttpTransport& m_http;
  IXmlParser& m_xml;
  IClock& m_clock;
  CLogger& m_log;
  CCallIdSource m_callIds;
};

// The process's one client: the one start-up code wired with CProcessInstance (see
// common/process_instance.h). Throws CHResultError(E_UNEXPECTED) while none is wired.
CFacebookClient& GetFacebookClient();
