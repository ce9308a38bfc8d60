// The service's answer as every method of the REST client reads it: the parse, the error
// answer, the root check, the records and counts read with XPath, the birthday derived from
// them, and the drop-down lines built from what was stored.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "facebook/call_result.h"
#include "facebook/response_parser.h"
#include "fuzz/fuzz_client.h"
#include "fuzz/fuzz_support.h"
#include "monitor/activity_state.h"
#include "monitor/notifications_popup.h"

namespace {

void RequireKnownOutcome(FacebookCallResult& result) {
  const int status = result.nStatus;
  Require(status == kCallSucceeded || status == kCallMalformed || status == kCallUnexpectedRoot ||
              status == kCallServiceError,
          "an answered call ends in success, malformed, unexpected root or service error");
  Require(!GetErrorText(result).empty(), "every outcome has a text for the user");
}

void RequireSaneRecord(const UserInfo& info) {
  Require(info.wBirthdayMonth <= 12 && info.wBirthdayDay <= 31, "a birthday is a date or 0");
}

void RequireSaneState(CFacebookClient& client) {
  std::lock_guard<std::mutex> lock(client.m_csState);
  const ActivityCounts& counts = client.m_counts;
  Require(counts.nFriendRequests >= 0 && counts.nGroupInvites >= 0 && counts.nEventInvites >= 0,
          "counted nodes are never negative");
  Require(counts.nNewWallPosts >= 0, "new wall posts only grow from 0");
  Require(client.m_friends.size() <= 100, "at most 100 friends are kept");
  RequireSaneRecord(client.m_self);
  for (const UserInfo& info : client.m_friends) {
    RequireSaneRecord(info);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzClient harness(AsText(data, size));
  CFacebookClient& client = harness.client;

  // The polls of a logged-in client; the notifications poll asks for the own record too.
  harness.LogIn();
  client.GetNotifications();
  harness.LogIn();
  client.GetMyInfo();
  client.GetMyInfo();  // a second count against the first one's baseline
  harness.LogIn();
  client.QueryFriends();
  RequireSaneState(client);
  BuildActivitySignature(client);
  const std::vector<NotificationItem> items =
      BuildNotificationItems(client, harness.clock, L"http://www.example.com/");
  Require(items.size() >= 7, "the summary and six count lines are always there");

  FacebookCallResult status;
  harness.LogIn();
  const bool posted = client.SetStatus(std::wstring(L"is fuzzing"), status);
  Require(posted == (status.nStatus == kCallSucceeded), "a post succeeds exactly with outcome 1");
  RequireKnownOutcome(status);

  // The login: the token, then the session the token buys.
  FacebookCallResult token;
  const bool gotToken = client.CreateToken(token);
  RequireKnownOutcome(token);
  Require(!client.IsLoggedIn(), "a new login starts logged out");
  if (!gotToken) {
    std::lock_guard<std::mutex> lock(client.m_csState);
    client.m_strAuthToken = "3e4a22bb2f5ed75114b0fc9995ea85f1";
  }
  FacebookCallResult session;
  const bool loggedIn = client.GetSession(session);
  if (session.nStatus != 0) {
    RequireKnownOutcome(session);
  }
  Require(loggedIn == client.IsLoggedIn(), "a session is held exactly when getSession took one");
  RequireSaneState(client);
  return 0;
}
