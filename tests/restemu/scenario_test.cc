#include "tools/restemu/scenario.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tools/restemu/rest_service.h"

namespace {

constexpr char kDemoFile[] = "tools/restemu/scenarios/demo.json";

std::string ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The shipped file is what the program serves without --scenario, and it must give the
// notifications drop-down something for every line it can show.
TEST(ScenarioTest, TheDemoFileIsTheBuiltInScenarioAndFillsEveryLine) {
  const std::string text = ReadFile(kDemoFile);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text, DemoScenarioText());

  const std::int64_t now = 1700000000;
  const Scenario scenario = ParseScenario(text, now);
  const NotificationState& counts = scenario.notifications;
  EXPECT_GT(counts.messages.nUnread, 0);
  EXPECT_GT(counts.pokes.nUnread, 0);
  EXPECT_GT(counts.shares.nUnread, 0);
  EXPECT_FALSE(counts.aFriendRequests.empty());
  EXPECT_FALSE(counts.aGroupInvites.empty());
  EXPECT_FALSE(counts.aEventInvites.empty());
  EXPECT_GT(scenario.nWallPostInterval, 0);    // new wall posts arrive between polls
  EXPECT_TRUE(scenario.aPermissions.empty());  // so the demo shows the permission page

  // On any day of the year, some friend has a birthday today and the friends' statuses
  // span the relative times the drop-down writes.
  CRestService service(scenario);
  for (const CalendarDate day :
       {CalendarDate{2024, 1, 1}, CalendarDate{2024, 2, 29}, CalendarDate{2023, 12, 31}}) {
    service.SetToday(day);
    const std::string today = std::string(MonthName(day.nMonth)) + " " + std::to_string(day.nDay);
    int birthdays = 0;
    for (const PersonRecord& person : service.Snapshot().aFriends) {
      birthdays += person.strBirthday.rfind(today, 0) == 0 ? 1 : 0;
    }
    EXPECT_GE(birthdays, 1) << FormatIsoDate(day);
  }
  std::int64_t newest = 0;
  std::int64_t oldest = now;
  std::size_t longest = 0;
  for (const PersonRecord& person : scenario.aFriends) {
    if (!person.status.strMessage.empty()) {
      newest = std::max(newest, person.status.nTime);
      oldest = std::min(oldest, person.status.nTime);
      longest = std::max(longest, person.status.strMessage.size());
    }
  }
  EXPECT_LT(now - newest, 60);
  EXPECT_GT(now - oldest, 2 * 86400);
  EXPECT_GE(longest, 180u);
}

TEST(ScenarioTest, MistakesAreReportedWithTheFieldsPath) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"user": {"uid": "12a", "name": "A"}})", "user.uid: expected an id"},
      {R"({"user": {"uid": 1}})", "user.name: missing"},
      {R"({"user": {"uid": 1, "name": "A"}, "frends": []})", "frends: unknown field"},
      {R"({"user": {"uid": 1, "name": "A"}, "friends": [{"uid": 2, "name": "B"},
          {"uid": 2, "name": "C"}]})",
       "friends[1].uid: the id 2 is used twice"},
      {R"({"user": {"uid": 1, "name": "A"}, "friends": [{"uid": 2, "name": "B",
          "status": {"message": "x", "time": 5, "age": 6}}]})",
       "friends[0].status: give either"},
      {R"({"user": {"uid": 1, "name": "A", "birthday": "{tomorrow}"}})",
       "user.birthday: unknown placeholder"},
      {R"({"user": {"uid": 1, "name": "A"}, "notifications": {"group_invites": [1, "x"]}})",
       "notifications.group_invites[1]: expected an id"},
      {R"({"user": {"uid": 1, "name": "A"}, "permissions": ["status_updates"]})",
       "permissions[0]: unknown extended permission"},
      {R"({"user": {"uid": 1, "name": "A"}, "session_lifetime": -1})",
       "session_lifetime: expected a number"},
      {R"({"user": {"uid": 1, "name": "A"}, "clock": {"today": "2023-13-01"}})",
       "clock.today: expected a date"},
      {R"({"user": {"uid": 1, "name": "A"},})", "the scenario is not valid JSON"},
      // A key holding a NUL, followed by text that is not UTF-8, gave a message that began
      // with the raw key, so the refusal read as empty.
      {"{\"user\": {\"\\u0000\": \"\xc2x\"}}", R"(user."\u0000": not valid UTF-8)"},
      {R"({"user": {"uid": 1, "name": "A", "nick name": 1}})",
       R"(user."nick name": unknown field)"},
  };
  for (const auto& [text, expected] : cases) {
    try {
      ParseScenario(text, 0);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const CFieldError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(expected, 0), 0u) << error.what();
    }
  }
  try {
    LoadScenarioFile("no/such/scenario.json", 0);
    ADD_FAILURE() << "a missing file was accepted";
  } catch (const CFieldError& error) {
    EXPECT_EQ(std::string(error.what()), "no/such/scenario.json: cannot be read");
  }
}

TEST(ScenarioTest, AgesCountBackFromTheScenariosOwnClock) {
  const Scenario scenario = ParseScenario(R"({
    "clock": {"now": 1000000},
    "user": {"uid": 1, "name": "A", "status": {"message": "is here", "age": 60}},
    "notifications": {"messages": {"unread": 2}, "pokes": {"unread": 1, "age": 10}}
  })",
                                          5);
  EXPECT_EQ(scenario.user.status.nTime, 1000000 - 60);
  EXPECT_EQ(scenario.notifications.messages.nMostRecent, 1000000);
  EXPECT_EQ(scenario.notifications.pokes.nMostRecent, 1000000 - 10);
  EXPECT_EQ(scenario.nSessionLifetime, 86400);
}

TEST(CalendarTest, BirthdayPlaceholdersFollowTheCalendar) {
  EXPECT_EQ(ExpandBirthday("{today}", {2024, 3, 5}), "March 5");
  EXPECT_EQ(ExpandBirthday("{today}, 1980", {2024, 3, 5}), "March 5, 1980");
  EXPECT_EQ(ExpandBirthday("{today-1}", {2024, 1, 1}), "December 31");
  EXPECT_EQ(ExpandBirthday("{today+1}", {2024, 2, 28}), "February 29");
  EXPECT_EQ(ExpandBirthday("{today+1}", {2023, 2, 28}), "March 1");
  EXPECT_EQ(ExpandBirthday("November 3 {x}", {2024, 3, 5}), "November 3 {x}");
  EXPECT_FALSE(HasValidBirthdayPlaceholders("{today+}"));
  EXPECT_TRUE(HasValidBirthdayPlaceholders("{today+40} and {today}"));
  EXPECT_FALSE(ParseIsoDate("2023-02-29"));
  EXPECT_TRUE(ParseIsoDate("2024-02-29"));
}

}  // namespace
