// What the client keeps about the logged-in user: the session, the activity counters and
// the user records of the own profile and the friends.
#pragma once

#include <cstdint>
#include <string>

// The session of the logged-in user, UTF-8 as the service sent it; all empty when logged
// out. The client is logged in exactly when the key and the secret are both set.
struct FacebookSession {
  std::string strSessionKey;     // "session_key" of every call
  std::string strSessionSecret;  // signs every call made with the session
  std::string strExpires;        // kept as text, not used further
  std::string strUserId;         // the user id in the FQL queries
};

// Activity counters of the last successful polls.
struct ActivityCounts {
  std::int32_t nMessages = 0;        // unread messages
  std::int32_t nPokes = 0;           // unread pokes
  std::int32_t nShares = 0;          // unread shares
  std::int32_t nFriendRequests = 0;  // pending friend requests
  std::int32_t nGroupInvites = 0;    // pending group invitations
  std::int32_t nEventInvites = 0;    // pending event invitations
  std::int32_t nWallCount = 0;       // wall post count last seen; 0: none seen yet
  std::int32_t nNewWallPosts = 0;    // wall posts counted by the add-in since the baseline
};

// One user as fetched. An absent string and an empty one are the same.
struct UserInfo {
  std::wstring strUid;
  std::wstring strName;
  std::wstring strStatusMessage;
  std::wstring strStatusTime;        // decimal Unix seconds, as text
  std::wstring strBirthday;          // as the service gives it, for example "November 3, 1980"
  std::uint16_t wBirthdayMonth = 0;  // 1-12, 0 unknown
  std::uint16_t wBirthdayDay = 0;    // 1-31, 0 unknown
};
