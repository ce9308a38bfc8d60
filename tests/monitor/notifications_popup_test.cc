#include "monitor/notifications_popup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/sim/sim_outlook.h"
#include "tests/facebook/client_harness.h"
#include "tests/support/recording_user_shell.h"
#include "tests/support/sim_controls.h"

namespace {

using std::chrono::milliseconds;

constexpr const wchar_t* kSite = L"http://site.test/";

TEST(FormatRelativeTimeTest, EachRowOfTheTableFromItsFirstSecond) {
  struct Case {
    std::int64_t d;
    const wchar_t* text;
  };
  const Case cases[] = {
      {-30, L"now."},
      {0, L"now."},
      {1, L"1 seconds ago."},
      {59, L"59 seconds ago."},
      {60, L"about a minute ago."},
      {119, L"about a minute ago."},
      {120, L"2 minutes ago."},
      {1800, L"30 minutes ago."},
      {3299, L"54 minutes ago."},
      {3300, L"about an hour ago."},
      {5999, L"about an hour ago."},
      {6000, L"about 1 hours ago."},
      {7200, L"about 2 hours ago."},
      {86399, L"about 23 hours ago."},
      {86400, L"1 day ago."},
      {169199, L"1 day ago."},
      {169200, L"about 1 days ago."},
      {172800, L"about 2 days ago."},
  };
  const std::int64_t setAt = 1700000000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.d);
    EXPECT_EQ(FormatRelativeTime(std::to_wstring(setAt), setAt + c.d), c.text);
  }
  for (const wchar_t* missing : {L"", L"0", L"soon", L"-"}) {
    EXPECT_EQ(FormatRelativeTime(missing, setAt), L"") << missing;
  }
  EXPECT_EQ(FormatRelativeTime(L"1700000000 ", setAt + 60), L"about a minute ago.");
}

TEST(FormatFriendStatusLineTest, LongStatusesAreCutAtWholeCharacters) {
  // Cut after 177 wide characters, a status whose 177th character lies beyond the Basic
  // Multilingual Plane lost half of its surrogate pair on Windows, and an accent or a joined
  // emoji was cut off the character it belongs to.
  UserInfo info;
  info.strName = L"Bo";
  info.strStatusTime = L"1700000000";
  const std::int64_t now = 1700000000 + 50 * 60;
  struct Case {
    std::wstring message;
    std::wstring shown;
  };
  const std::wstring emoji = Utf8ToWide("\xF0\x9F\x98\x80");  // U+1F600
  const std::wstring accented = Utf8ToWide("e\xCC\x81");      // e + combining acute
  const std::wstring family = Utf8ToWide("\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7");
  const Case cases[] = {
      {std::wstring(179, L'a'), std::wstring(179, L'a')},
      {std::wstring(180, L'a'), std::wstring(177, L'a') + L"..."},
      {std::wstring(400, L'a'), std::wstring(177, L'a') + L"..."},
      // Characters beyond one wide character, or made of several, count as one and are never
      // split by the cut, whatever the width of wchar_t.
      {std::wstring(176, L'a') + emoji + L"bcd", std::wstring(176, L'a') + emoji + L"..."},
      {std::wstring(176, L'a') + accented + L"bcd", std::wstring(176, L'a') + accented + L"..."},
      {std::wstring(176, L'a') + family + L"bcd", std::wstring(176, L'a') + family + L"..."},
      {std::wstring(178, L'a') + emoji, std::wstring(178, L'a') + emoji},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message.size());
    info.strStatusMessage = c.message;
    EXPECT_EQ(FormatFriendStatusLine(info, now), L"Bo " + c.shown + L". 50 minutes ago.");
  }

  info.strStatusMessage = L"is at work";
  info.strStatusTime.clear();
  EXPECT_EQ(FormatFriendStatusLine(info, now), L"Bo is at work. ");
  info.strStatusMessage.clear();
  EXPECT_EQ(FormatFriendStatusLine(info, now), L"");
}

TEST(GetProfileLinkTest, TheUidIsEncodedIntoTheProfileAddress) {
  // A uid from the service went into the profile address as it stood, so a crafted one
  // could add parameters or a fragment to the page the browser opened.
  UserInfo info;
  EXPECT_EQ(GetProfileLink(info, kSite), L"");
  info.strUid = L"100000123443210";
  EXPECT_EQ(GetProfileLink(info, kSite), L"http://site.test/profile.php?id=100000123443210");
  info.strUid = L"1&v=2#x\"";
  EXPECT_EQ(GetProfileLink(info, kSite), L"http://site.test/profile.php?id=1%26v%3D2%23x%22");
}

class NotificationsPopupTest : public ::testing::Test {
 protected:
  NotificationsPopupTest() { m_harness.LogIn(); }

  void SetCounts(const ActivityCounts& counts) {
    std::lock_guard<std::mutex> lock(Client().m_csState);
    Client().m_counts = counts;
  }
  void AddFriend(const wchar_t* uid, const wchar_t* name, const wchar_t* status) {
    UserInfo info;
    info.strUid = uid;
    info.strName = name;
    info.strStatusMessage = status;
    info.strStatusTime = std::to_wstring(m_harness.clock.Now() - 1800);
    std::lock_guard<std::mutex> lock(Client().m_csState);
    Client().m_friends.push_back(info);
  }
  CFacebookClient& Client() { return m_harness.client; }

  // The page opened by picking item `index`, or "" when none opened.
  std::wstring Pick(std::int32_t index) {
    const std::size_t before = m_shell.OpenedAddresses().size();
    EXPECT_EQ(m_dropdown.spBox->SetListIndex(index), S_OK);
    m_popup.OnNotificationSelected(*m_dropdown.spBox);
    EXPECT_EQ(m_dropdown.ListIndex(), 1);  // back on the summary line
    const std::vector<std::wstring> opened = m_shell.OpenedAddresses();
    return opened.size() > before ? opened.back() : L"";
  }
  void Refresh() { m_popup.RefreshLoggedIn(*m_dropdown.spBox); }
  std::int64_t Rebuilds() { return m_outlook.Faults().CallCount("CommandBarComboBox.Clear"); }

  ClientHarness m_harness;
  CRecordingUserShell m_shell;
  CSimOutlook m_outlook{m_harness.clock};
  LoneComboBox m_dropdown = AddLoneComboBox(m_outlook, office::kControlDropdown);
  CNotificationsPopup m_popup{Client(), m_harness.clock, m_shell, kSite};
};

TEST_F(NotificationsPopupTest, AnUnreadShareCountsInTheSummaryOnly) {
  ActivityCounts counts;
  counts.nShares = 1;
  SetCounts(counts);
  Refresh();

  EXPECT_EQ(m_dropdown.Text(), L"New Requests - 1");
  EXPECT_EQ(m_popup.m_aLinks[0], L"http://site.test/reqs.php");
  const std::vector<std::wstring> items = m_dropdown.Items();
  for (std::size_t i = 1; i < items.size(); ++i) {
    EXPECT_EQ(items[i].back(), L'0') << items[i];
  }
}

TEST_F(NotificationsPopupTest, FriendsWithoutStatusesLeaveALoneSeparator) {
  AddFriend(L"2002", L"Di", L"");
  Refresh();
  ASSERT_EQ(m_dropdown.Items().size(), 8u);
  EXPECT_EQ(m_dropdown.Items().back(), L"---");
}

TEST_F(NotificationsPopupTest, ItRebuildsOnAChangeOrOnceTheFiveMinutesArePast) {
  Refresh();
  Refresh();
  EXPECT_EQ(Rebuilds(), 1);

  m_harness.clock.Advance(milliseconds(300000));
  Refresh();
  EXPECT_EQ(Rebuilds(), 1);
  m_harness.clock.Advance(milliseconds(1));
  Refresh();
  EXPECT_EQ(Rebuilds(), 2);

  ActivityCounts counts;
  counts.nPokes = 1;
  SetCounts(counts);
  Refresh();
  EXPECT_EQ(Rebuilds(), 3);
  EXPECT_EQ(m_dropdown.Items()[6], L"New Pokes - 1");

  // Across the tick count's wrap-around the interval is still measured.
  m_popup.m_dwLastRebuildTick = 0xFFFFFFFFu - 999u;
  m_harness.clock.Advance(milliseconds(0x100000000LL - m_harness.clock.TickCount() + 5000));
  ASSERT_EQ(m_harness.clock.TickCount(), 5000u);
  Refresh();
  EXPECT_EQ(Rebuilds(), 3);
}

TEST_F(NotificationsPopupTest, ALineOfficeRefusesTakesNoLinkSoTheOthersStayAligned) {
  // A refused line that kept its link would make every later line open the page of the line
  // before it: here first a status line, then a count line.
  AddFriend(L"2001", L"Cy", L"is cooking");
  AddFriend(L"2003", L"Ed", L"is out");
  m_outlook.Faults().Inject("CommandBarComboBox.AddItem", E_FAIL, 9);
  Refresh();
  std::vector<std::wstring> items = m_dropdown.Items();
  ASSERT_EQ(items.size(), 9u);
  ASSERT_EQ(m_popup.m_aLinks.size(), 9u);
  EXPECT_EQ(items[8], L"Ed is out. 30 minutes ago.");
  EXPECT_EQ(Pick(9), L"http://site.test/profile.php?id=2003");

  ActivityCounts counts;
  counts.nPokes = 1;
  SetCounts(counts);
  m_outlook.Faults().Inject("CommandBarComboBox.AddItem", E_FAIL, 4);  // the group invites
  Refresh();
  items = m_dropdown.Items();
  ASSERT_EQ(m_popup.m_aLinks.size(), items.size());
  EXPECT_EQ(items[3], L"Event Invites - 0");
  EXPECT_EQ(Pick(4), L"http://site.test/reqs.php#event");
  EXPECT_EQ(Pick(5), L"http://site.test/wall.php");
}

TEST_F(NotificationsPopupTest, ThePickedAddressHoldsWhileTheShellRunsARefresh) {
  // Opening a page may pump messages on Outlook's thread, so the timer's refresh can rebuild
  // the list while the shell still reads the address it was given: it must be the picked
  // line's, not whatever the rebuild put in its place.
  AddFriend(L"2001", L"Cy", L"is cooking");
  Refresh();
  std::wstring seenAfterRefresh;
  m_shell.onOpen = [&](const std::wstring& address) {
    {
      std::lock_guard<std::mutex> lock(Client().m_csState);
      Client().m_friends.clear();
    }
    AddFriend(L"2009", L"Zed", L"is away");
    Refresh();
    seenAfterRefresh = address;
  };
  Pick(9);
  EXPECT_EQ(m_dropdown.Items()[8], L"Zed is away. 30 minutes ago.");
  EXPECT_EQ(seenAfterRefresh, L"http://site.test/profile.php?id=2001");
}

TEST_F(NotificationsPopupTest, LoggedOutItShowsOneDisabledLineAndKeepsTheLastSignature) {
  Refresh();
  const std::wstring signature = m_popup.m_strLastSignature;
  const std::uint32_t tick = m_popup.m_dwLastRebuildTick;

  m_popup.ShowLoggedOut(*m_dropdown.spBox);

  EXPECT_EQ(m_dropdown.Items(), std::vector<std::wstring>{L"No Notifications"});
  EXPECT_EQ(m_dropdown.Text(), L"No Notifications");
  EXPECT_FALSE(m_dropdown.Enabled());
  EXPECT_EQ(m_popup.m_aLinks, std::vector<std::wstring>{L""});
  EXPECT_EQ(m_popup.m_strLastSignature, signature);
  EXPECT_EQ(m_popup.m_dwLastRebuildTick, tick);
  EXPECT_EQ(Pick(1), L"");

  // Logged in again with the same activity: the placeholder kept by an unchanged signature
  // showed "No Notifications" without any of its lines for up to five minutes.
  Refresh();
  EXPECT_TRUE(m_dropdown.Enabled());
  EXPECT_EQ(m_dropdown.Items().size(), 7u);
  EXPECT_EQ(m_dropdown.Items()[1], L"New Messages - 0");
}

}  // namespace
