// What the user sees and does on the toolbar, end to end: the add-in connected to the
// simulated Outlook as Outlook connects it, the emulated service over HTTP, a manual clock.
#include <gtest/gtest.h>

#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "common/deployment.h"
#include "common/text.h"
#include "resources/bitmaps.h"
#include "resources/string_table.h"
#include "settings/options.h"
#include "settings/session_store.h"
#include "tests/integration/addin_on_emulator.h"
#include "toolbar/bmp_reader.h"
#include "toolbar/button_image.h"

namespace {

using namespace zenlet_bar;

constexpr const char* kWorld = R"({
  "user": {"uid": "100001", "name": "Ann Example",
           "status": {"message": "is at home", "age": 7200}, "wall_count": 10}
})";

const std::wstring kLoginIntro =
    L"In order to use Zenlet, you need to login to Facebook.\n\nZenlet will open a browser "
    L"window. In that window, please login to Facebook. After you have logged in, return to "
    L"Outlook to use Zenlet.\n\nClick OK to continue.";
const std::wstring kLoginWait = L"Please click OK after you have logged into Facebook.";
const std::wstring kLoginFailed = L"Your login attempt failed. Please login again.\n";
const std::wstring kPermissionIntro =
    L"Facebook security policy requires that you specifically allow 3rd party applications to "
    L"update Facebook status on your behalf.\n\nZenlet will open a browser window. In that "
    L"window, please allow Zenlet to update your Facebook status.Then return to Outlook\n\n"
    L"Click OK to continue";
const std::wstring kPermissionWait =
    L"Please click OK after you have allowed Zenlet to update your Facebook status.";
const std::wstring kPermissionRefused =
    L"Your status was not updated because you did not allow Zenlet update your Facebook status.";
const std::vector<std::wstring> kPresets = {L"is at work", L"is at home", L"is with the family"};

class ToolbarBehaviourTest : public ::testing::Test {
 protected:
  explicit ToolbarBehaviourTest(const std::string& world = kWorld, SimOutlookOptions options = {})
      : m_host(world, std::move(options)) {
    m_host.outlook.OpenExplorer();
    m_host.Connect();
  }

  void LogIn() {
    ASSERT_TRUE(m_host.Press(kLogin).Ok());
    ASSERT_TRUE(m_host.LoggedIn());
    m_host.emulator.ClearCalls();
    m_nBoxesBefore = m_host.outlook.MessageBoxes().size();
  }
  // The boxes shown since LogIn.
  std::vector<std::wstring> NewBoxes() {
    std::vector<std::wstring> texts = m_host.BoxTexts();
    return std::vector<std::wstring>(texts.begin() + static_cast<long>(m_nBoxesBefore),
                                     texts.end());
  }
  std::wstring Site() {
    return L"http://127.0.0.1:" + std::to_wstring(m_host.emulator.Port()) + L"/";
  }
  std::int32_t NewWallPosts() {
    CFacebookClient& client = m_host.module->Client();
    std::lock_guard<std::mutex> lock(client.m_csState);
    return client.m_counts.nNewWallPosts;
  }
  // The address the user's pick of drop-down item `index` opened, "" for none.
  std::wstring PickNotification(int index) {
    const std::size_t before = m_host.outlook.OpenedAddresses().size();
    EXPECT_TRUE(m_host.outlook.PickItem(1, kNotifications, index).Ok());
    EXPECT_EQ(m_host.Control(kNotifications).nListIndex, 1);
    const std::vector<std::wstring> opened = m_host.outlook.OpenedAddresses();
    return opened.size() > before ? opened.back() : L"";
  }

  CAddinOnEmulator m_host;
  std::size_t m_nBoxesBefore = 0;
};

// The logged-out toolbar, as it must look whatever happened before.
void ExpectLoggedOut(CAddinOnEmulator& host) {
  EXPECT_TRUE(host.Control(kLogin).bVisible);
  EXPECT_FALSE(host.Control(kLogout).bVisible);
  EXPECT_FALSE(host.Control(kCheckNow).bVisible);
  const SimControlState status = host.Control(kStatusBox);
  EXPECT_FALSE(status.bEnabled);
  EXPECT_TRUE(status.aItems.empty());
  EXPECT_EQ(status.strText, L"");
  EXPECT_EQ(status.strTooltip, LoadText(IDS_STATUS_TOOLTIP));
  const SimControlState facebook = host.Control(kFacebookButton);
  EXPECT_EQ(facebook.strCaption, L"Login to Facebook...");
  EXPECT_EQ(facebook.strTooltip, L"Click to login to Facebook and Zenlet");
  const SimControlState dropdown = host.Control(kNotifications);
  EXPECT_EQ(dropdown.aItems, std::vector<std::wstring>{L"No Notifications"});
  EXPECT_EQ(dropdown.strText, L"No Notifications");
  EXPECT_FALSE(dropdown.bEnabled);
}

TEST_F(ToolbarBehaviourTest, ALoginThroughTheBrowserPageShowsTheAccountOnTheToolbar) {
  ExpectLoggedOut(m_host);
  // A refresh that fires while the login's boxes are open finds the client logged out and
  // shows that consistently.
  int refreshesInBoxes = 0;
  m_host.onBox = [&](const SimMessageBox&) {
    ++refreshesInBoxes;
    m_host.Refresh();
    ExpectLoggedOut(m_host);
    EXPECT_TRUE(m_host.outlook.CursorBusy());
  };

  ASSERT_TRUE(m_host.Press(kFacebookButton).Ok());  // logged out, it logs in

  EXPECT_EQ(refreshesInBoxes, 2);
  EXPECT_EQ(m_host.BoxTexts(), (std::vector<std::wstring>{kLoginIntro, kLoginWait}));
  EXPECT_FALSE(m_host.outlook.CursorBusy());
  EXPECT_EQ(m_host.Calls("facebook.auth.getSession"), 1);
  EXPECT_EQ(m_host.Calls("facebook.fql.query"), 1);  // the own record, at once

  EXPECT_FALSE(m_host.Control(kLogin).bVisible);
  EXPECT_EQ(m_host.Control(kLogout).strCaption, L"Logout from Zenlet (Ann Example)");
  EXPECT_TRUE(m_host.Control(kCheckNow).bVisible);
  EXPECT_EQ(m_host.Control(kFacebookButton).strCaption, L"");
  EXPECT_EQ(m_host.Control(kFacebookButton).strTooltip, LoadText(IDS_SITE_TOOLTIP));
  const SimControlState status = m_host.Control(kStatusBox);
  EXPECT_TRUE(status.bEnabled);
  EXPECT_EQ(status.strText, L"is at home");
  EXPECT_EQ(status.strTooltip, LoadText(IDS_STATUS_TOOLTIP) + L"\nCurrent Status - is at home");
  EXPECT_EQ(status.aItems, kPresets);
  // Nothing polled yet: no notifications, but every count line, and the box is live.
  const SimControlState dropdown = m_host.Control(kNotifications);
  EXPECT_TRUE(dropdown.bEnabled);
  EXPECT_EQ(dropdown.strText, L"No Notifications");
  EXPECT_EQ(dropdown.aItems.size(), 7u);
}

// Guards the refresh recording the status it showed: without it, Enter on the status a
// refresh put into the box posted it again.
TEST_F(ToolbarBehaviourTest, EnterOnTheStatusTheRefreshShowedPostsNothing) {
  m_host.emulator.Service().SetPermission("status_update", true);
  LogIn();
  m_host.Refresh();
  ASSERT_EQ(m_host.Control(kStatusBox).strText, L"is at home");
  ASSERT_TRUE(m_host.PostStatus(L"is at home").Ok());
  EXPECT_EQ(m_host.Calls("facebook.users.setStatus"), 0);
}

TEST_F(ToolbarBehaviourTest, OkBeforeTheBrowserLoginLeavesTheToolbarLoggedOut) {
  m_host.bUserLogsIn = false;
  ASSERT_TRUE(m_host.Press(kLogin).Ok());

  EXPECT_EQ(m_host.BoxTexts(), (std::vector<std::wstring>{kLoginIntro, kLoginWait, kLoginFailed}));
  EXPECT_EQ(m_host.outlook.MessageBoxes().back().nStyle, message_style::kIconInformation);
  EXPECT_FALSE(m_host.LoggedIn());
  EXPECT_FALSE(m_host.outlook.CursorBusy());
  ExpectLoggedOut(m_host);
}

TEST_F(ToolbarBehaviourTest, TheWaitCursorGoesEvenWhenTheLoginIsCutShortByAnException) {
  m_host.onBox = [](const SimMessageBox&) { throw std::bad_alloc(); };
  EXPECT_THROW(m_host.Press(kLogin), std::bad_alloc);
  EXPECT_FALSE(m_host.outlook.CursorBusy());
}

TEST_F(ToolbarBehaviourTest, AMissingPermissionIsGrantedInTheBrowserAndThePostRetriedOnce) {
  LogIn();
  ASSERT_TRUE(m_host.PostStatus(L"is testing").Ok());

  EXPECT_EQ(m_host.Calls("facebook.users.setStatus"), 2);
  EXPECT_EQ(NewBoxes(), (std::vector<std::wstring>{kPermissionIntro, kPermissionWait}));
  EXPECT_EQ(m_host.outlook.OpenedAddresses().back(),
            L"http://127.0.0.1:" + std::to_wstring(m_host.emulator.Port()) +
                L"/authorize.php?api_key=" + Utf8ToWide(m_host.module->Client().m_strApiKey) +
                L"&v=1.0&ext_perm=status_update");
  EXPECT_EQ(m_host.emulator.Service().Snapshot().user.status.strMessage, "is testing");
  const SimControlState status = m_host.Control(kStatusBox);
  EXPECT_EQ(status.strText, L"is testing");
  EXPECT_EQ(status.aItems.front(), L"is testing");  // remembered, first in the list

  // Revoked again, and the user does not allow it this time: refused after the one retry.
  m_host.emulator.Service().SetPermission("status_update", false);
  m_host.bUserAllowsStatus = false;
  ASSERT_TRUE(m_host.PostStatus(L"is out").Ok());
  EXPECT_EQ(m_host.Calls("facebook.users.setStatus"), 4);
  EXPECT_EQ(NewBoxes().back(), kPermissionRefused);
  EXPECT_TRUE(m_host.LoggedIn());
}

TEST_F(ToolbarBehaviourTest, APostAfterTheSessionDiedLogsInFirstAndAFailedLoginSendsNoStatus) {
  m_host.emulator.Service().SetPermission("status_update", true);
  // The service ends the session and the worker's next poll hears of it; the toolbar still
  // shows the box until the next refresh, and the user posts from it.
  const auto sessionDies = [&] {
    m_host.emulator.Service().ExpireSessions("");
    m_host.Poll();
    ASSERT_FALSE(m_host.LoggedIn());
    m_host.emulator.ClearCalls();
  };
  LogIn();
  sessionDies();
  m_host.bUserLogsIn = false;
  ASSERT_TRUE(m_host.PostStatus(L"is out").Ok());
  EXPECT_EQ(m_host.Calls("facebook.auth.createToken"), 1);
  EXPECT_EQ(m_host.Calls("facebook.users.setStatus"), 0);
  EXPECT_EQ(m_host.BoxTexts().back(), kLoginFailed);
  ExpectLoggedOut(m_host);

  m_host.bUserLogsIn = true;
  LogIn();
  sessionDies();
  ASSERT_TRUE(m_host.PostStatus(L"is in").Ok());
  EXPECT_TRUE(m_host.LoggedIn());
  EXPECT_EQ(m_host.Calls("facebook.users.setStatus"), 1);
  EXPECT_EQ(m_host.emulator.Service().Snapshot().user.status.strMessage, "is in");
}

TEST_F(ToolbarBehaviourTest, EnterTwicePostsOnceAndAFailedPostKeepsTheTextForARetry) {
  m_host.emulator.Service().SetPermission("status_update", true);
  LogIn();
  ASSERT_TRUE(m_host.PostStatus(L"is here").Ok());
  ASSERT_TRUE(m_host.PostStatus(L"is here").Ok());
  EXPECT_EQ(m_host.Calls("facebook.users.setStatus"), 1);

  FaultSpec fault;
  fault.strMethod = "users.setStatus";
  fault.nErrorCode = 1;
  m_host.emulator.InjectFault(fault);
  ASSERT_TRUE(m_host.PostStatus(L"is away").Ok());
  EXPECT_EQ(m_host.outlook.MessageBoxes().back().nStyle, message_style::kIconError);
  m_host.Refresh();
  EXPECT_EQ(m_host.Control(kStatusBox).strText, L"is away");

  ASSERT_TRUE(m_host.PostStatus(L"is away").Ok());
  EXPECT_EQ(m_host.Calls("facebook.users.setStatus"), 3);
  EXPECT_EQ(m_host.emulator.Service().Snapshot().user.status.strMessage, "is away");
}

TEST_F(ToolbarBehaviourTest, TheStatusListOffersRememberedValuesPresetsNowPlayingAndTheInbox) {
  m_host.emulator.Service().SetPermission("status_update", true);
  LogIn();
  m_host.outlook.SetInboxCount(7);
  m_host.firstPlayer.SetTrack(L"Song", L"Artist");
  ASSERT_TRUE(m_host.RunWorkerUntil([&] { return m_host.firstPlayer.Queries() > 0; }));
  ASSERT_TRUE(m_host.PostStatus(L"is first").Ok());
  ASSERT_TRUE(m_host.PostStatus(L"is second").Ok());
  m_host.Refresh();  // a rebuild for a post reads the live values at the next refresh

  const std::vector<std::wstring> live = {L"is listening to Artist - Song",
                                          L"has 7 messages in the Inbox"};
  std::vector<std::wstring> expected = {L"is second", L"is first"};
  expected.insert(expected.end(), kPresets.begin(), kPresets.end());
  expected.insert(expected.end(), live.begin(), live.end());
  EXPECT_EQ(m_host.StatusItems(), expected);

  // A remembered value picked from the list moves to the front; a preset changes nothing.
  ASSERT_TRUE(m_host.outlook.PickItem(1, kStatusBox, 2).Ok());
  ASSERT_TRUE(m_host.outlook.PickItem(1, kStatusBox, 3).Ok());
  EXPECT_EQ(m_host.StatusItems()[0], L"is first");
  EXPECT_EQ(m_host.StatusItems()[1], L"is second");
  EXPECT_EQ(m_host.StatusItems()[2], L"is at work");
  EXPECT_EQ(m_host.emulator.Service().Snapshot().user.status.strMessage, "is at work");
  CFBOpts stored(&m_host.registry, &m_host.protector, nullptr);
  stored.Load();
  ASSERT_EQ(stored.m_aStatusValues.size(), 2u);
  EXPECT_EQ(stored.m_aStatusValues[0].m_strStatus, L"is first");

  // Text typed and not posted survives a rebuild of the list.
  ASSERT_TRUE(m_host.outlook.TypeText(1, kStatusBox, L"is half-typed", false).Ok());
  m_host.outlook.SetInboxCount(8);
  m_host.Refresh();
  EXPECT_EQ(m_host.StatusItems().back(), L"has 8 messages in the Inbox");
  EXPECT_EQ(m_host.Control(kStatusBox).strText, L"is half-typed");
}

TEST_F(ToolbarBehaviourTest, LogoutSendsNothingStoresTheEmptySessionAndEmptiesTheToolbar) {
  LogIn();
  m_host.Poll();
  m_host.Refresh();
  CFBOpts& options = m_host.module->Options();
  SaveSessionToOptions(m_host.module->Client(), options);
  ASSERT_EQ(options.Save(), kRegOk);
  m_host.emulator.ClearCalls();

  ASSERT_TRUE(m_host.Press(kLogout).Ok());

  EXPECT_TRUE(m_host.emulator.Calls().empty());
  CFBOpts stored(&m_host.registry, &m_host.protector, nullptr);
  stored.Load();
  EXPECT_TRUE(stored.m_strSessionKey.empty());
  EXPECT_TRUE(stored.m_strSessionSecret.empty());
  EXPECT_TRUE(stored.m_strUserName.empty());
  EXPECT_TRUE(stored.m_strUid.empty());
  ExpectLoggedOut(m_host);
}

// --- the notifications drop-down ------------------------------------------------------------

std::string Repeated(char c, int n) {
  return std::string(static_cast<std::size_t>(n), c);
}

const std::string kBusyWorld = R"({
  "user": {"uid": "100001", "name": "Ann Example",
           "status": {"message": "is at home", "age": 7200}, "wall_count": 10},
  "friends": [
    {"uid": "2001", "name": "Bo", "status": {"message": "is baking", "age": 59}},
    {"uid": "2002", "name": "Cy", "status": {"message": ")" +
                               Repeated('x', 180) + R"(", "age": 60}},
    {"uid": "2003", "name": "Di", "status": {"message": ")" +
                               Repeated('y', 179) + R"(", "age": 3299},
     "birthday": "{today}, 1990"},
    {"uid": "2004", "name": "Ed", "status": {"message": "is away", "age": 3300}},
    {"uid": "2005", "name": "Fay", "status": {"message": "is up", "age": 6000}},
    {"uid": "2006", "name": "Gus", "status": {"message": "is far", "age": 86400}},
    {"uid": "2007", "name": "Hal", "status": {"message": "is gone", "age": 169200}},
    {"uid": "2008", "name": "Ida", "birthday": "{today}"}
  ],
  "notifications": {"messages": {"unread": 2}, "pokes": {"unread": 1}, "shares": {"unread": 1},
                    "friend_requests": ["3001"], "group_invites": [],
                    "event_invites": ["5001", "5002"]}
})";

class NotificationsDropDownTest : public ToolbarBehaviourTest {
 protected:
  NotificationsDropDownTest() : ToolbarBehaviourTest(kBusyWorld) {}
};

TEST_F(NotificationsDropDownTest, ItListsTheActivityAndEachLineOpensItsPage) {
  LogIn();
  m_host.emulator.Service().PostToWall(3);
  m_host.Poll();
  m_host.Refresh();

  const std::wstring x177(177, L'x');
  const std::wstring y179(179, L'y');
  const std::vector<std::wstring> expected = {
      L"New Requests - 10",
      L"New Messages - 2",
      L"Friend Requests - 1",
      L"Group Invites - 0",
      L"Event Invites - 2",
      L"New Wall Posts - 3",
      L"New Pokes - 1",
      L"---",
      L"Don't forget to wish Di a Happy Birthday today",
      L"Don't forget to wish Ida a Happy Birthday today",
      L"---",
      L"Bo is baking. 59 seconds ago.",
      L"Cy " + x177 + L".... about a minute ago.",  // cut, then its full stop
      L"Di " + y179 + L". 54 minutes ago.",
      L"Ed is away. about an hour ago.",
      L"Fay is up. about 1 hours ago.",
      L"Gus is far. 1 day ago.",
      L"Hal is gone. about 1 days ago.",
  };
  EXPECT_EQ(m_host.NotificationItems(), expected);
  EXPECT_EQ(m_host.Control(kNotifications).strText, L"New Requests - 10");

  const std::wstring site = Site();
  const std::vector<std::wstring> links = {site + L"reqs.php",
                                           site + L"inbox/",
                                           site + L"reqs.php#friend",
                                           site + L"reqs.php#group",
                                           site + L"reqs.php#event",
                                           site + L"wall.php",
                                           L"",
                                           L"",
                                           site + L"profile.php?id=2003",
                                           site + L"profile.php?id=2008",
                                           L"",
                                           site + L"profile.php?id=2001",
                                           site + L"profile.php?id=2002",
                                           site + L"profile.php?id=2003",
                                           site + L"profile.php?id=2004",
                                           site + L"profile.php?id=2005",
                                           site + L"profile.php?id=2006",
                                           site + L"profile.php?id=2007"};
  EXPECT_EQ(m_host.module->Application().m_explorers.m_list.front()->m_notifications.m_aLinks,
            links);

  EXPECT_EQ(PickNotification(1), L"");  // the summary opens nothing and resets nothing
  EXPECT_EQ(NewWallPosts(), 3);
  EXPECT_EQ(PickNotification(2), site + L"inbox/");
  EXPECT_EQ(NewWallPosts(), 0);
  EXPECT_EQ(PickNotification(8), site);  // "---": the home page
  EXPECT_EQ(PickNotification(7), site);  // the pokes have no page of their own
  EXPECT_EQ(PickNotification(13), site + L"profile.php?id=2002");
  m_host.Refresh();
  EXPECT_EQ(m_host.NotificationItems()[5], L"New Wall Posts - 0");
  EXPECT_EQ(m_host.Control(kNotifications).strText, L"New Requests - 7");
}

TEST_F(NotificationsDropDownTest, ACheckNowHasTheWorkerFetchTheActivityForTheNextRefresh) {
  LogIn();
  ASSERT_TRUE(m_host.Press(kCheckNow).Ok());
  ASSERT_TRUE(m_host.RunWorkerUntil([&] { return m_host.Calls("facebook.fql.query") >= 2; }));
  m_host.Refresh();
  EXPECT_EQ(m_host.Control(kNotifications).strText, L"New Requests - 7");
  EXPECT_EQ(m_host.NotificationItems().size(), 18u);
}

// Guards the check asked for after the login command, and adds it to the login that a status
// post runs first: without it the drop-down said "No Notifications" until the worker's next
// check, up to 300 s later.
TEST(LoginCheckTest, ALoginHasTheWorkerCheckAtOnceWhicheverCommandStartedIt) {
  for (const bool bByPost : {false, true}) {
    SCOPED_TRACE(bByPost ? "a post after the session died" : "the login item");
    CAddinOnEmulator host(kBusyWorld);
    host.outlook.OpenExplorer();
    host.Connect();
    host.emulator.Service().SetPermission("status_update", true);
    ASSERT_TRUE(host.Press(kLogin).Ok());
    ASSERT_TRUE(host.RunWorkerUntil([&] { return host.Calls("facebook.notifications.get") > 0; }));
    // The session dies; the next check of the worker's own is 300 s away.
    host.emulator.Service().ExpireSessions("");
    host.Poll();
    ASSERT_FALSE(host.LoggedIn());
    host.emulator.ClearCalls();

    if (bByPost) {
      ASSERT_TRUE(host.PostStatus(L"is in").Ok());  // the box still offers itself
    } else {
      host.Refresh();
      ASSERT_TRUE(host.Press(kLogin).Ok());
    }
    ASSERT_TRUE(host.LoggedIn());
    EXPECT_TRUE(host.RunWorkerUntil([&] { return host.Calls("facebook.notifications.get") > 0; }));
    host.Refresh();
    EXPECT_EQ(host.Control(kNotifications).strText, L"New Requests - 7");
  }
}

// --- the other commands and the button's picture ---------------------------------------------

TEST_F(ToolbarBehaviourTest, AClickWithTheCommandIdOfNoControlDoesNothing) {
  morvane::CFBOutlookExplorer& explorer = *m_host.host.Application().m_explorers.m_list.front();
  for (const unsigned id : {1u, 5u, 6u, 7u, 11u, 0xFFFFFFFFu}) {
    explorer.OnButtonClick(nullptr, nullptr, id);
  }
  EXPECT_TRUE(m_host.outlook.MessageBoxes().empty());
  EXPECT_TRUE(m_host.outlook.OpenedAddresses().empty());
  EXPECT_TRUE(m_host.outlook.DisplayedMails().empty());
  EXPECT_TRUE(m_host.emulator.Calls().empty());
  ExpectLoggedOut(m_host);
}

TEST_F(ToolbarBehaviourTest, TheMenuOpensPagesWritesTheFeedbackMailAndShowsTheAboutBox) {
  ASSERT_TRUE(m_host.Press(kWebsite).Ok());
  ASSERT_TRUE(m_host.Press(kFeedback).Ok());
  ASSERT_TRUE(m_host.Press(kAbout).Ok());

  EXPECT_EQ(m_host.outlook.OpenedAddresses(),
            std::vector<std::wstring>{Utf8ToWide(GetDeploymentConfig().strProductPage)});
  ASSERT_EQ(m_host.outlook.DisplayedMails().size(), 1u);
  EXPECT_EQ(m_host.outlook.DisplayedMails()[0].strSubject, L"Zenlet feedback");
  EXPECT_EQ(m_host.outlook.DisplayedMails()[0].strTo,
            Utf8ToWide(GetDeploymentConfig().strFeedbackAddress));
  const SimMessageBox about = m_host.outlook.MessageBoxes().back();
  EXPECT_EQ(about.strTitle, L"About Morvane Zenlet");
  EXPECT_EQ(about.nStyle, message_style::kOk);
  EXPECT_EQ(about.strText.substr(0, about.strText.find(L'\n')),
            L"Morvane Zenlet 0.1.0.32 Alpha Version");
  EXPECT_NE(about.strText.find(L"Thank you for using Morvane Zenlet."), std::wstring::npos);
  EXPECT_NE(about.owner, 0u);

  LogIn();
  ASSERT_TRUE(m_host.Press(kFacebookButton).Ok());  // logged in: the home page
  EXPECT_EQ(m_host.outlook.OpenedAddresses().back(), Site());
}

SimOutlookOptions OutlookVersion(const wchar_t* version) {
  SimOutlookOptions options;
  options.strVersion = version;
  return options;
}

class OutlookXpTest : public ToolbarBehaviourTest {
 protected:
  OutlookXpTest() : ToolbarBehaviourTest(kWorld, OutlookVersion(L"10.0.0.2627")) {}
};

TEST_F(OutlookXpTest, CheckingNowAndPostingAStatusNeedOutlook2003) {
  LogIn();
  ASSERT_TRUE(m_host.Press(kCheckNow).Ok());
  ASSERT_TRUE(m_host.PostStatus(L"is old").Ok());

  const std::vector<SimMessageBox> boxes = m_host.outlook.MessageBoxes();
  ASSERT_EQ(boxes.size(), m_nBoxesBefore + 2);
  for (std::size_t i = m_nBoxesBefore; i < boxes.size(); ++i) {
    EXPECT_EQ(boxes[i].strTitle, L"Zenlet - Outlook version not supported");
    EXPECT_EQ(boxes[i].strText,
              L"We are sorry, your Outlook version is not supported.\n\nZenlet supports Outlook "
              L"2003 and later.");
    EXPECT_EQ(boxes[i].nStyle, 0x40010u);
  }
  EXPECT_TRUE(m_host.emulator.Calls().empty());
}

PixelImage ButtonFace() {
  PixelImage face;
  std::string error;
  EXPECT_TRUE(LoadBitmapImage(IDB_FACEBOOK_BUTTON, &face, &error)) << error;
  return face;
}

TEST_F(ToolbarBehaviourTest, TheFacebookButtonCarriesItsPictureAndMask) {
  const SimControlState button = m_host.Control(kFacebookButton);
  EXPECT_EQ(button.picture.aPixels, ButtonFace().aPixels);
  EXPECT_EQ(button.mask.aPixels, MakePictureMask(ButtonFace(), kFacebookButtonKeyColour).aPixels);
}

class Outlook2000Test : public ToolbarBehaviourTest {
 protected:
  Outlook2000Test() : ToolbarBehaviourTest(kWorld, OutlookVersion(L"9.0.0.2711")) {}
};

TEST_F(Outlook2000Test, TheFacebookButtonIsPastedThroughTheClipboard) {
  const SimControlState button = m_host.Control(kFacebookButton);
  EXPECT_TRUE(button.picture.aPixels.empty());
  EXPECT_FALSE(button.bFaceFromDib);
  EXPECT_EQ(button.aPastedMask, MakeMaskDib(ButtonFace(), 0xD4E8FD));
}

}  // namespace
