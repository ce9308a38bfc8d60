// The REST service: its applications, the user's world, auth tokens, sessions, and the checks
// every call goes through, in the service's order: a known method (3), the API key (101), a
// session key it never issued (102, before the signature: a signature made with a secret the
// service never gave out cannot be checked), the signature (104), the API version (100), then
// for the methods that need a session the call_id (103), the session key (102) and its expiry
// (450), and last each method's own rules.
//
// Threading: every public operation may be called from any thread; each takes the service's
// lock for its whole run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/restemu/answer.h"
#include "tools/restemu/form_params.h"
#include "tools/restemu/scenario.h"

struct RestOutcome {
  std::string strMethod;  // with the "facebook." prefix; as sent when it names no method
  AnswerDocument document;
  int nErrorCode = 0;  // 0 for a successful answer
  bool bSignatureValid = false;
  bool bJson = false;

  std::string Body() const;
};

// What the user's world looks like at one moment; birthdays are expanded for `today`.
struct ServiceSnapshot {
  PersonRecord user;
  std::vector<PersonRecord> aFriends;
  std::int64_t nWallCount = 0;
  NotificationState notifications;
  std::vector<std::string> aPermissions;
  std::int64_t nNow = 0;
  CalendarDate today;
  std::size_t nLiveSessions = 0;
};

// What a restart of the service needs to go on where it stopped: the sessions it issued, with
// the last call id each accepted, the extended permissions granted, and the statuses of the
// user and the friends.
struct ServiceState {
  struct Session {
    std::string strKey;
    std::string strApiKey;
    std::string strUid;
    std::string strSecret;
    std::int64_t nExpires = 0;  // Unix seconds; 0: never
    std::string strLastCallId;  // empty before the first call
  };
  std::vector<Session> aSessions;
  std::vector<std::string> aPermissions;
  std::vector<std::pair<std::string, StatusRecord>> aStatuses;  // by uid
};

class CRestService {
 public:
  // The deployment's own application is always known; the scenario may add others.
  explicit CRestService(const Scenario& scenario);

  // One call of the API with the parameters the request carried.
  RestOutcome Call(const CRequestParams& params);
  // Whether the request's "sig" is right for its API key and session, whatever else is wrong.
  bool IsSignatureValid(const CRequestParams& params) const;
  // "users.setStatus" and "facebook.users.setStatus" both name facebook.users.setStatus.
  static std::string CanonicalMethod(std::string_view method);
  static bool WantsJson(const CRequestParams& params);

  // The browser's side of the token login.
  bool IsKnownApiKey(std::string_view apiKey) const;
  // Whether `token` was issued to `apiKey` and not yet exchanged for a session.
  bool IsPendingToken(std::string_view apiKey, std::string_view token) const;
  bool ApproveToken(std::string_view apiKey, std::string_view token);

  // The user's world, as the control interface changes it.
  ServiceSnapshot Snapshot() const;
  void PostToWall(std::int64_t posts);
  // Sets the status of the user or of a friend; false when no one has that uid.
  bool SetStatus(std::string_view uid, const StatusRecord& status);
  // Runs `change` on a copy of the notifications and keeps the copy if it returns normally.
  void ChangeNotifications(const std::function<void(NotificationState&, std::int64_t)>& change);
  void SetPermission(std::string_view name, bool granted);
  // Makes one session (or every session, for an empty key) expire now; returns how many.
  std::size_t ExpireSessions(std::string_view sessionKey);

  // The service's clock. Without a fixed "now" it runs with the real time plus any advance.
  std::int64_t Now() const;
  CalendarDate Today() const;
  void SetNow(std::int64_t now);
  void AdvanceClock(std::int64_t seconds);
  void SetToday(std::optional<CalendarDate> today);  // nothing: the local date of "now"
  void SetSessionLifetime(std::int64_t seconds);     // for sessions made from now on

  ServiceState SavedState() const;
  // Goes on from `state`: its sessions of known applications for the scenario's user, its
  // known permissions and the statuses of known people; anything else in it is left out.
  void RestoreState(const ServiceState& state);
  // Called with the state after each change of it (a session issued or used, a status or a
  // permission set, sessions expired), on the thread that made the change and under the
  // service's lock, so the calls come in the order of the changes. It must not call the
  // service. An empty function stops the calls.
  void SetStateObserver(std::function<void(const ServiceState&)> observer);

 private:
  struct TokenRecord {
    std::string strApiKey;
    bool bApproved = false;
  };
  struct SessionRecord {
    std::string strApiKey;
    std::string strUid;
    std::string strSecret;
    std::int64_t nExpires = 0;  // 0: never
    std::string strLastCallId;
  };
  struct MethodResult {
    int nErrorCode = 0;
    std::string strMessage;
    AnswerDocument document;
  };

  std::int64_t NowLocked() const;
  ServiceState SavedStateLocked() const;
  // The user or the friend with that uid; null for no one.
  PersonRecord* FindPersonLocked(std::string_view uid);
  void StateChangedLocked();
  CalendarDate TodayLocked() const;
  std::int64_t WallCountLocked() const;
  const std::string* FindSecretLocked(const CRequestParams& params,
                                      const SessionRecord** session) const;
  std::string RandomHex(std::size_t digits);

  MethodResult CreateToken(const CRequestParams& params);
  MethodResult GetSession(const CRequestParams& params);
  MethodResult SetStatusMethod(const CRequestParams& params);
  MethodResult GetNotifications();
  MethodResult HasAppPermission(const CRequestParams& params);
  MethodResult QueryFql(const CRequestParams& params);

  mutable std::mutex m_mutex;
  std::map<std::string, std::string, std::less<>> m_mapApplications;  // API key -> secret
  PersonRecord m_user;
  std::vector<PersonRecord> m_aFriends;
  std::int64_t m_nWallCount = 0;
  std::int64_t m_nWallPostInterval = 0;
  std::int64_t m_nWallEpoch = 0;
  NotificationState m_notifications;
  std::set<std::string, std::less<>> m_setPermissions;
  std::int64_t m_nSessionLifetime = 86400;
  std::optional<std::int64_t> m_nFixedNow;
  std::int64_t m_nClockOffset = 0;
  std::optional<CalendarDate> m_today;
  std::map<std::string, TokenRecord, std::less<>> m_mapTokens;
  std::deque<std::string> m_aTokenOrder;  // oldest first, to bound the pending tokens
  std::map<std::string, SessionRecord, std::less<>> m_mapSessions;
  std::mt19937_64 m_random;
  std::function<void(const ServiceState&)> m_stateObserver;
};
