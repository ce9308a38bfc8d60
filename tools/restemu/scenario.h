// A scenario: the world the emulated service starts from. It is a JSON file (the format is
// described in tools/restemu/README.md); the built-in demo scenario is the file
// tools/restemu/scenarios/demo.json, compiled in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/restemu/calendar.h"
#include "tools/restemu/json_fields.h"

struct StatusRecord {
  std::string strMessage;  // empty: no status
  std::int64_t nTime = 0;  // Unix seconds it was set; 0 when unknown
};

struct PersonRecord {
  std::string strUid;
  std::string strName;
  StatusRecord status;
  std::string strBirthday;  // as the service shows it; may hold the {today} placeholders
};

struct NotificationCounter {
  std::int64_t nUnread = 0;
  std::int64_t nMostRecent = 0;  // Unix seconds of the newest one; 0 when none
};

struct NotificationState {
  NotificationCounter messages;
  NotificationCounter pokes;
  NotificationCounter shares;
  std::vector<std::string> aFriendRequests;  // uids of the people asking
  std::vector<std::string> aGroupInvites;    // gids
  std::vector<std::string> aEventInvites;    // eids
};

struct ApplicationRecord {
  std::string strApiKey;
  std::string strSecret;
};

struct Scenario {
  std::vector<ApplicationRecord> aApplications;  // besides the deployment's own
  PersonRecord user;
  std::int64_t nWallCount = 0;
  std::int64_t nWallPostInterval = 0;  // seconds between automatic wall posts; 0: none
  std::vector<PersonRecord> aFriends;
  NotificationState notifications;
  std::vector<std::string> aPermissions;  // extended permissions already granted
  std::int64_t nSessionLifetime = 86400;  // seconds; 0: sessions never expire
  std::optional<std::int64_t> nNow;       // a fixed "now"; otherwise the real time
  std::optional<CalendarDate> today;      // a fixed date; otherwise the local date of "now"
};

// Reads a scenario. Times given as an age ("age": 600) count back from the scenario's fixed
// "now", or from `realNow` without one. Throws CFieldError naming the faulty field.
Scenario ParseScenario(std::string_view text, std::int64_t realNow);
// The same from a file; the error message starts with the file's name.
Scenario LoadScenarioFile(const std::string& path, std::int64_t realNow);
// The text of the built-in demo scenario.
std::string_view DemoScenarioText();

// Pieces shared with the control interface, which changes a running scenario.
StatusRecord ReadStatus(const CJsonField& field, std::int64_t now);
// Changes only the members that `field` names.
void ReadNotifications(const CJsonField& field, std::int64_t now, NotificationState& state);
// Whether `name` is an extended permission the service knows.
bool IsKnownPermission(std::string_view name);
