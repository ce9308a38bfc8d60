#include "monitor/activity_state.h"

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tests/facebook/client_harness.h"
#include "tests/monitor/poll_answers.h"

namespace {

// The seven counts of a signature whose own status has no "|" in it.
std::wstring CountsOf(const std::wstring& signature) {
  std::size_t at = 0;
  for (int field = 0; field < 3; ++field) {
    at = signature.find(L'|', at) + 1;
  }
  std::size_t end = at;
  for (int field = 0; field < 7 && end != std::wstring::npos; ++field) {
    end = signature.find(L'|', end + 1);
  }
  return signature.substr(at, end == std::wstring::npos ? end : end - at);
}

// One notifications poll answered with `wallCount` in the own record, or failing when none.
void Poll(ClientHarness& h, std::optional<int> wallCount) {
  if (wallCount) {
    h.Answer(NotificationsAnswer());
    h.Answer(OwnRecordAnswer(*wallCount));
  } else {
    h.transport.Enqueue(ScriptedHttpAnswer::FailAt(HttpStep::kSend));
  }
  h.client.GetNotifications();
}

struct BirthdayCase {
  const wchar_t* szText;
  std::uint16_t wMonth;
  std::uint16_t wDay;
  bool bBoth;
};

class ParseBirthdayTest : public ::testing::TestWithParam<BirthdayCase> {};

TEST_P(ParseBirthdayTest, MonthWordAndLeadingDayNumber) {
  UserInfo info;
  info.strBirthday = GetParam().szText;
  EXPECT_EQ(ParseBirthday(info), GetParam().bBoth);
  EXPECT_EQ(info.wBirthdayMonth, GetParam().wMonth);
  EXPECT_EQ(info.wBirthdayDay, GetParam().wDay);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseBirthdayTest,
    ::testing::Values(BirthdayCase{L"March 5, 1980", 3, 5, true},
                      BirthdayCase{L"Mar 5", 3, 5, true}, BirthdayCase{L"november 3", 11, 3, true},
                      BirthdayCase{L"december 31", 12, 31, true},
                      BirthdayCase{L"MAY  7", 5, 7, true},    // a run of blanks splits once
                      BirthdayCase{L"5 March", 0, 0, false},  // no number, no month word
                      BirthdayCase{L"June", 6, 0, false}, BirthdayCase{L"June 0", 6, 0, false},
                      BirthdayCase{L"June 32", 6, 0, false}, BirthdayCase{L"June -5", 6, 0, false},
                      BirthdayCase{L"June x5", 6, 0, false},
                      BirthdayCase{L"June 99999999999999", 6, 0, false},
                      BirthdayCase{L"Ju 5", 0, 5, false}, BirthdayCase{L"Smarch 5", 0, 5, false}));

TEST(ParseBirthdayTest, EmptyTextChangesNothingAndUnknownMonthKeepsTheOldOne) {
  UserInfo info;
  info.wBirthdayMonth = 4;
  info.wBirthdayDay = 9;
  EXPECT_FALSE(ParseBirthday(info));
  EXPECT_EQ(info.wBirthdayMonth, 4);
  EXPECT_EQ(info.wBirthdayDay, 9);

  info.strBirthday = L"Someday 12";
  EXPECT_TRUE(ParseBirthday(info));
  EXPECT_EQ(info.wBirthdayMonth, 4);
  EXPECT_EQ(info.wBirthdayDay, 12);
}

}  // namespace

struct TodayCase {
  const wchar_t* szBirthday;
  LocalDate today;
  bool bToday;
};

class BirthdayTodayTest : public ::testing::TestWithParam<TodayCase> {};

TEST_P(BirthdayTodayTest, MonthAndDayOfTheLocalDateAnyYear) {
  ClientHarness h;
  h.clock.SetToday(GetParam().today);
  UserInfo info;
  info.strBirthday = GetParam().szBirthday;
  ParseBirthday(info);
  EXPECT_EQ(IsBirthdayToday(info, h.clock), GetParam().bToday);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, BirthdayTodayTest,
    ::testing::Values(
        TodayCase{L"June 5", {2026, 6, 5}, true}, TodayCase{L"June 5", {1999, 6, 5}, true},
        TodayCase{L"June 5", {2026, 6, 6}, false}, TodayCase{L"June 5", {2026, 7, 5}, false},
        TodayCase{L"March 5, 1980", {2026, 3, 5}, true},
        TodayCase{L"5 March", {2026, 3, 5}, false},  // neither month nor day
        TodayCase{L"Smarch 5", {2026, 1, 5}, false}, TodayCase{L"", {2026, 1, 1}, false}));

TEST(ActivitySignatureTest, FreshClientShowsTheRestoredNameAndSevenZeros) {
  ClientHarness h;
  EXPECT_EQ(BuildActivitySignature(h.client), L"0:|0:|0:|0|0|0|0|0|0|0");
  {
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    h.client.m_self.strName = L"Dave";
    h.client.m_counts = {1, 2, 3, 4, 5, 6, 7, 8};
  }
  // The wall count (7) is shown nowhere, so it is not part of it; the new posts (8) are.
  EXPECT_EQ(BuildActivitySignature(h.client), L"4:Dave|0:|0:|1|2|3|4|5|6|8");
}

// Two different states used to give one signature when a count ran into the first friend's
// name or a text held the separator, so the drop-down kept the old lines for up to 300 s.
TEST(ActivitySignatureTest, NoTwoDifferentStatesShareASignature) {
  struct State {
    int nNewWallPosts;
    UserInfo self;
    std::vector<UserInfo> aFriends;
  };
  const auto person = [](const wchar_t* name, const wchar_t* message, const wchar_t* time) {
    UserInfo info;
    info.strName = name;
    info.strStatusMessage = message;
    info.strStatusTime = time;
    return info;
  };
  const struct {
    const char* szWhat;
    State first;
    State second;
  } pairs[] = {
      {"a count runs into a name",
       {1, {}, {person(L"2Bob", L"", L"")}},
       {12, {}, {person(L"Bob", L"", L"")}}},
      {"a separator inside a name",
       {0, person(L"a|", L"", L""), {}},
       {0, person(L"a", L"|", L""), {}}},
      {"one friend or two",
       {0, {}, {person(L"A", L"", L"|B||")}},
       {0, {}, {person(L"A", L"", L""), person(L"B", L"", L"")}}},
  };
  ClientHarness h;
  const auto signatureOf = [&h](const State& state) {
    {
      std::lock_guard<std::mutex> lock(h.client.m_csState);
      h.client.m_counts = ActivityCounts();
      h.client.m_counts.nNewWallPosts = state.nNewWallPosts;
      h.client.m_self = state.self;
      h.client.m_friends = state.aFriends;
    }
    return BuildActivitySignature(h.client);
  };
  for (const auto& pair : pairs) {
    EXPECT_NE(signatureOf(pair.first), signatureOf(pair.second)) << pair.szWhat;
  }
}

TEST(ActivitySignatureTest, CountsFollowThePollsWallGrowthAndTheReset) {
  ClientHarness h;
  h.LogIn();
  struct Step {
    std::optional<int> wallCount;  // none: the poll fails
    const wchar_t* szCounts;
  };
  const Step steps[] = {
      {10, L"1|0|1|3|0|0|0"},            // the first count is only the baseline
      {12, L"1|0|1|3|0|0|2"},            //
      {std::nullopt, L"1|0|1|3|0|0|2"},  // a failed poll changes nothing
      {11, L"1|0|1|3|0|0|2"},            // a shrinking wall adds nothing
      {15, L"1|0|1|3|0|0|6"},
  };
  for (const Step& step : steps) {
    const std::wstring before = BuildActivitySignature(h.client);
    Poll(h, step.wallCount);
    const std::wstring after = BuildActivitySignature(h.client);
    EXPECT_EQ(CountsOf(after), step.szCounts);
    if (!step.wallCount) {
      EXPECT_EQ(after, before);
    }
  }
  // Seen by the user: back to 0, and later growth counts from the last wall count.
  ResetNewWallPosts(h.client);
  EXPECT_EQ(CountsOf(BuildActivitySignature(h.client)), L"1|0|1|3|0|0|0");
  Poll(h, 18);
  EXPECT_EQ(CountsOf(BuildActivitySignature(h.client)), L"1|0|1|3|0|0|3");

  // A dead session clears the whole picture, the own record included.
  h.Answer(ErrorAnswer("450", "Session key invalid or no longer valid"));
  h.client.GetNotifications();
  EXPECT_FALSE(h.client.IsLoggedIn());
  EXPECT_EQ(BuildActivitySignature(h.client), L"0:|0:|0:|0|0|0|0|0|0|0");

  // The next login starts a new baseline; a first count of 0 means none seen yet.
  h.LogIn();
  for (int wallCount : {0, 3, 5}) {
    Poll(h, wallCount);
  }
  EXPECT_EQ(CountsOf(BuildActivitySignature(h.client)), L"1|0|1|3|0|0|2");
}

TEST(ActivitySignatureTest, ChangesWithEveryStatusTheDropDownShowsAndItsOrder) {
  ClientHarness h;
  h.LogIn();
  const FriendStatus ann{"Ann", "at the beach", "1700000100"};
  const FriendStatus bob{"Bob", "working", "1700000000"};
  auto friendsPoll = [&](const std::vector<FriendStatus>& friends) {
    h.Answer(FriendsAnswer(friends));
    h.client.QueryFriends();
    return BuildActivitySignature(h.client);
  };

  const std::wstring first = friendsPoll({ann, bob});
  EXPECT_EQ(first,
            L"0:|0:|0:|0|0|0|0|0|0|0|3:Ann|12:at the beach|10:1700000100|3:Bob|7:working|"
            L"10:1700000000");
  EXPECT_EQ(friendsPoll({ann, bob}), first);  // nothing new: no rebuild

  FriendStatus annLater = ann;
  annLater.strMessage = "back home";  // a new text at the same status time
  const std::wstring newText = friendsPoll({annLater, bob});
  EXPECT_NE(newText, first);

  const std::wstring reordered = friendsPoll({bob, annLater});  // Bob posted newer
  EXPECT_NE(reordered, newText);

  h.transport.Enqueue(ScriptedHttpAnswer::FailAt(HttpStep::kRead));
  h.client.QueryFriends();
  EXPECT_EQ(BuildActivitySignature(h.client), reordered);

  // The own status changes it too, when posted here and when polled.
  h.Answer(ReadFixture("example_users_set_status_true_xml.xml"));
  FacebookCallResult result;
  ASSERT_TRUE(h.client.SetStatus(L"is at work", result));
  const std::wstring posted = BuildActivitySignature(h.client);
  EXPECT_EQ(posted.substr(0, 22), L"0:|10:is at work|0:|0|");
  h.Answer(NotificationsAnswer());
  h.Answer(OwnRecordAnswer(4, "is at work", "1700000200"));
  h.client.GetNotifications();
  EXPECT_EQ(BuildActivitySignature(h.client).substr(0, 38),
            L"4:Dave|10:is at work|10:1700000200|1|0");
}
