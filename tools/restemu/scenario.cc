#include "tools/restemu/scenario.h"

#include <fstream>
#include <limits>
#include <set>
#include <sstream>

namespace {

constexpr std::int64_t kMaxSeconds = std::int64_t{1} << 40;

// A time given either as Unix seconds ("time") or as seconds before now ("age").
std::int64_t ReadTime(const CJsonField& owner, std::string_view timeKey, std::int64_t now) {
  const bool bTime = owner.Has(timeKey);
  if (bTime && owner.Has("age")) {
    owner.Fail("give either \"" + std::string(timeKey) + "\" or \"age\", not both");
  }
  if (bTime) {
    return owner.Member(timeKey).Integer(0, kMaxSeconds);
  }
  if (owner.Has("age")) {
    return now - owner.Member("age").Integer(0, kMaxSeconds);
  }
  return 0;
}

std::vector<std::string> ReadIds(const CJsonField& field) {
  std::vector<std::string> ids;
  for (std::size_t i = 0; i < field.ArraySize(); ++i) {
    ids.push_back(field.Element(i).Id());
  }
  return ids;
}

NotificationCounter ReadCounter(const CJsonField& field, std::int64_t now,
                                const NotificationCounter& previous) {
  field.RequireObject({"unread", "most_recent", "age"});
  NotificationCounter counter = previous;
  if (field.Has("unread")) {
    counter.nUnread = field.Member("unread").Integer(0, 1000000);
  }
  if (field.Has("most_recent") || field.Has("age")) {
    counter.nMostRecent = ReadTime(field, "most_recent", now);
  } else if (field.Has("unread")) {
    counter.nMostRecent = counter.nUnread > 0 ? now : 0;
  }
  return counter;
}

PersonRecord ReadPerson(const CJsonField& field, std::int64_t now, bool bSelf) {
  if (bSelf) {
    field.RequireObject({"uid", "name", "status", "birthday", "wall_count", "wall_post_interval"});
  } else {
    field.RequireObject({"uid", "name", "status", "birthday"});
  }
  PersonRecord person;
  person.strUid = field.Member("uid").Id();
  person.strName = field.Member("name").String();
  if (person.strName.empty()) {
    field.Member("name").Fail("a name cannot be empty");
  }
  if (field.Has("status")) {
    person.status = ReadStatus(field.Member("status"), now);
  }
  if (field.Has("birthday")) {
    const CJsonField birthday = field.Member("birthday");
    person.strBirthday = birthday.String();
    if (!HasValidBirthdayPlaceholders(person.strBirthday)) {
      birthday.Fail("unknown placeholder: use {today}, {today+N} or {today-N}");
    }
  }
  return person;
}

}  // namespace

StatusRecord ReadStatus(const CJsonField& field, std::int64_t now) {
  field.RequireObject({"message", "time", "age"});
  StatusRecord status;
  status.strMessage = field.Member("message").String();
  status.nTime = ReadTime(field, "time", now);
  if (!field.Has("time") && !field.Has("age")) {
    status.nTime = status.strMessage.empty() ? 0 : now;
  }
  return status;
}

void ReadNotifications(const CJsonField& field, std::int64_t now, NotificationState& state) {
  field.RequireObject(
      {"messages", "pokes", "shares", "friend_requests", "group_invites", "event_invites"});
  if (field.Has("messages")) {
    state.messages = ReadCounter(field.Member("messages"), now, state.messages);
  }
  if (field.Has("pokes")) {
    state.pokes = ReadCounter(field.Member("pokes"), now, state.pokes);
  }
  if (field.Has("shares")) {
    state.shares = ReadCounter(field.Member("shares"), now, state.shares);
  }
  if (field.Has("friend_requests")) {
    state.aFriendRequests = ReadIds(field.Member("friend_requests"));
  }
  if (field.Has("group_invites")) {
    state.aGroupInvites = ReadIds(field.Member("group_invites"));
  }
  if (field.Has("event_invites")) {
    state.aEventInvites = ReadIds(field.Member("event_invites"));
  }
}

bool IsKnownPermission(std::string_view name) {
  static const std::set<std::string_view> kPermissions = {
      "status_update", "offline_access", "photo_upload", "email",
      "create_event",  "rsvp_event",     "sms",          "create_listing",
      "share_item",    "publish_stream", "read_stream"};
  return kPermissions.count(name) != 0;
}

Scenario ParseScenario(std::string_view text, std::int64_t realNow) {
  const nlohmann::json document = ParseJsonDocument(text, "the scenario");
  const CJsonField top(document, "");
  top.RequireObject({"applications", "user", "friends", "notifications", "permissions",
                     "session_lifetime", "clock"});
  Scenario scenario;

  if (top.Has("clock")) {
    const CJsonField clock = top.Member("clock");
    clock.RequireObject({"now", "today"});
    if (clock.Has("now")) {
      scenario.nNow = clock.Member("now").Integer(0, kMaxSeconds);
    }
    if (clock.Has("today")) {
      scenario.today = ParseIsoDate(clock.Member("today").String());
      if (!scenario.today) {
        clock.Member("today").Fail("expected a date written YYYY-MM-DD");
      }
    }
  }
  const std::int64_t now = scenario.nNow.value_or(realNow);

  if (top.Has("applications")) {
    const CJsonField applications = top.Member("applications");
    for (std::size_t i = 0; i < applications.ArraySize(); ++i) {
      const CJsonField application = applications.Element(i);
      application.RequireObject({"api_key", "secret"});
      ApplicationRecord record{application.Member("api_key").String(),
                               application.Member("secret").String()};
      if (record.strApiKey.empty()) {
        application.Member("api_key").Fail("an API key cannot be empty");
      }
      if (record.strSecret.empty()) {
        application.Member("secret").Fail("a secret cannot be empty");
      }
      scenario.aApplications.push_back(std::move(record));
    }
  }

  const CJsonField user = top.Member("user");
  scenario.user = ReadPerson(user, now, true);
  if (user.Has("wall_count")) {
    scenario.nWallCount = user.Member("wall_count").Integer(0, 100000000);
  }
  if (user.Has("wall_post_interval")) {
    scenario.nWallPostInterval = user.Member("wall_post_interval").Integer(0, kMaxSeconds);
  }

  std::set<std::string> uids = {scenario.user.strUid};
  if (top.Has("friends")) {
    const CJsonField friends = top.Member("friends");
    for (std::size_t i = 0; i < friends.ArraySize(); ++i) {
      PersonRecord person = ReadPerson(friends.Element(i), now, false);
      if (!uids.insert(person.strUid).second) {
        friends.Element(i).Member("uid").Fail("the id " + person.strUid + " is used twice");
      }
      scenario.aFriends.push_back(std::move(person));
    }
  }

  if (top.Has("notifications")) {
    ReadNotifications(top.Member("notifications"), now, scenario.notifications);
  }

  if (top.Has("permissions")) {
    const CJsonField permissions = top.Member("permissions");
    for (std::size_t i = 0; i < permissions.ArraySize(); ++i) {
      std::string name = permissions.Element(i).String();
      if (!IsKnownPermission(name)) {
        permissions.Element(i).Fail("unknown extended permission " + QuotedText(name));
      }
      scenario.aPermissions.push_back(std::move(name));
    }
  }

  if (top.Has("session_lifetime")) {
    scenario.nSessionLifetime = top.Member("session_lifetime").Integer(0, kMaxSeconds);
  }
  return scenario;
}

Scenario LoadScenarioFile(const std::string& path, std::int64_t realNow) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw CFieldError(path + ": cannot be read");
  }
  std::ostringstream text;
  text << file.rdbuf();
  try {
    return ParseScenario(text.str(), realNow);
  } catch (const CFieldError& error) {
    throw CFieldError(path + ": " + error.what());
  }
}
