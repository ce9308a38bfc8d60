// The toolbar in each explorer of the simulated Outlook: its controls in both login states,
// a bar that exists already, the saved placement, the status box width, builds that fail
// part way, and the release of every sink.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "addin/button_event.h"
#include "resources/string_table.h"
#include "tests/addin/addin_host.h"

namespace {

using namespace std::chrono_literals;

// A control as the user sees it. A width of 0 is not checked.
struct ExpectedControl {
  std::int32_t nType;
  std::wstring strCaption;
  std::wstring strTooltip;
  bool bBeginGroup;
  bool bVisible;
  bool bEnabled;
  std::int32_t nWidth;
};

void ExpectControls(const std::vector<SimControlState>& actual,
                    const std::vector<ExpectedControl>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("control " + std::to_string(i + 1));
    EXPECT_EQ(actual[i].nType, expected[i].nType);
    EXPECT_EQ(actual[i].strCaption, expected[i].strCaption);
    EXPECT_EQ(actual[i].strTooltip, expected[i].strTooltip);
    EXPECT_EQ(actual[i].bBeginGroup, expected[i].bBeginGroup);
    EXPECT_EQ(actual[i].bVisible, expected[i].bVisible);
    EXPECT_EQ(actual[i].bEnabled, expected[i].bEnabled);
    if (expected[i].nWidth != 0) {
      EXPECT_EQ(actual[i].nWidth, expected[i].nWidth);
    }
  }
}

constexpr const wchar_t* kStatusTooltip =
    L"Type your new Facebook status message here. Hit Enter to post.";

// The four controls of the bar and the six of its menu.
std::vector<ExpectedControl> BarControls(bool loggedIn) {
  using namespace office;
  return {
      {kControlButton, loggedIn ? L"" : L"Login to Facebook...",
       loggedIn ? LoadText(IDS_SITE_TOOLTIP) : L"Click to login to Facebook and Zenlet", false,
       true, true, 0},
      {kControlComboBox, L"Update Facebook status", kStatusTooltip, false, true, loggedIn, 300},
      {kControlPopup, L"Zenlet", L"Additional Zenlet commands", true, true, true, 0},
      {kControlDropdown, L"Notification Window", L"New Facebook Request Notifications", false, true,
       loggedIn, 120},
  };
}

std::vector<ExpectedControl> MenuItems(bool loggedIn) {
  using namespace office;
  const std::wstring logout =
      loggedIn ? L"Logout from Zenlet (Dave Fetterman)" : L"Logout from Zenlet";
  return {
      {kControlButton, L"Login to Facebook...", L"Login to Facebook...", true, !loggedIn, true, 0},
      {kControlButton, logout, L"Logout from Zenlet", true, loggedIn, true, 0},
      {kControlButton, L"Check for New Activity on Facebook Now",
       L"Check for New Activity on Facebook Now", true, loggedIn, true, 0},
      {kControlButton, L"Give us your feedback", L"Give us your feedback", true, true, true, 0},
      {kControlButton, L"Zenlet Website", L"Zenlet Website", false, true, true, 0},
      {kControlButton, L"About Morvane Zenlet", L"About Morvane Zenlet", false, true, true, 0},
  };
}

void ExpectWholeToolbar(const SimBarState& bar, bool loggedIn) {
  ASSERT_EQ(bar.aControls.size(), 4u);
  ExpectControls(bar.aControls, BarControls(loggedIn));
  ExpectControls(bar.aControls[2].aMenu, MenuItems(loggedIn));
}

// Seeds the store as an earlier session of the add-in left it.
void SeedOptions(CAddinHost& host, std::uint32_t rowIndex, std::uint32_t left,
                 std::uint32_t position, std::uint32_t statusWidth = 300) {
  CFBOpts seed(&host.registry, &host.protector, nullptr);
  seed.m_dwToolbarRowIndex = rowIndex;
  seed.m_dwToolbarLeft = left;
  seed.m_dwToolbarPosition = position;
  seed.m_dwStatusFieldWidth = statusWidth;
  ASSERT_EQ(seed.Save(), kRegOk);
}

TEST(ToolbarTest, TenControlsInOrderFollowTheLoginStateOnTheRefreshTimer) {
  CAddinHost host;
  const int explorer = host.outlook.OpenExplorer();
  ASSERT_EQ(host.Connect(), S_OK);

  std::optional<SimBarState> bar = host.outlook.ReadBar(explorer, L"Zenlet");
  ASSERT_TRUE(bar.has_value());
  EXPECT_TRUE(bar->bVisible);
  EXPECT_TRUE(bar->bTemporary);
  ExpectWholeToolbar(*bar, false);
  EXPECT_EQ(bar->aControls[0].nStyle, office::kButtonIconAndCaption);
  EXPECT_EQ(bar->aControls[2].aMenu[0].nStyle, office::kButtonCaption);
  EXPECT_EQ(bar->aControls[1].nDropDownLines, 60);
  EXPECT_TRUE(bar->aControls[1].aItems.empty());
  const SimControlState& notifications = bar->aControls[3];
  EXPECT_EQ(notifications.nDropDownWidth, -1);
  EXPECT_EQ(notifications.nDropDownLines, 60);
  EXPECT_EQ(notifications.aItems, std::vector<std::wstring>{L"No Notifications"});
  EXPECT_EQ(notifications.nListIndex, 1);

  // Every control carries a tag of its own.
  std::set<std::wstring> tags;
  auto collect = [&tags](const SimControlState& control) {
    EXPECT_EQ(control.strTag.rfind(L"MV", 0), 0u);
    EXPECT_GT(control.strTag.size(), 2u);
    EXPECT_EQ(control.strTag.find_first_not_of(L"0123456789", 2), std::wstring::npos);
    tags.insert(control.strTag);
  };
  for (const SimControlState& control : bar->aControls) {
    collect(control);
    for (const SimControlState& item : control.aMenu) {
      collect(item);
    }
  }
  EXPECT_EQ(tags.size(), 10u);

  // The login reaches the toolbar with the next tick of the 3000 ms timer.
  host.LogIn(L"Dave Fetterman");
  host.clock.Advance(2999ms);
  host.outlook.RunPending();
  ExpectWholeToolbar(*host.outlook.ReadBar(explorer, L"Zenlet"), false);
  host.clock.Advance(1ms);
  host.outlook.RunPending();
  ExpectWholeToolbar(*host.outlook.ReadBar(explorer, L"Zenlet"), true);
}

TEST(ToolbarTest, AnExistingBarIsReusedWithoutTouchingItsPlacement) {
  CAddinHost host;
  SeedOptions(host, 3, 50, 3);
  SimBarState existing;
  existing.strName = L"Zenlet";
  existing.nRowIndex = 4;
  existing.nLeft = 30;
  SimControlState combo;
  combo.nType = office::kControlComboBox;
  combo.strCaption = L"Update Facebook status";
  existing.aControls.push_back(combo);
  SimExplorerSetup setup;
  setup.bars = SimDefaultBars();
  setup.bars->push_back(existing);
  const int explorer = host.outlook.OpenExplorer(setup);
  ASSERT_EQ(host.Connect(), S_OK);

  const std::optional<SimBarState> bar = host.outlook.ReadBar(explorer, L"Zenlet");
  ASSERT_TRUE(bar.has_value());
  EXPECT_EQ(bar->nRowIndex, 4);
  EXPECT_EQ(bar->nLeft, 30);
  EXPECT_EQ(bar->nPosition, sim_bar_position::kTop);
  // The box that was there is taken as it is; the missing controls come after it.
  ASSERT_EQ(bar->aControls.size(), 4u);
  EXPECT_EQ(bar->aControls[0].strCaption, L"Update Facebook status");
  EXPECT_TRUE(bar->aControls[0].strTag.empty());
  EXPECT_EQ(bar->aControls[0].nWidth, 300);
  EXPECT_EQ(bar->aControls[1].nType, office::kControlButton);
  EXPECT_EQ(bar->aControls[2].aMenu.size(), 6u);
  EXPECT_EQ(bar->aControls[3].nType, office::kControlDropdown);

  host.LogIn(L"Dave Fetterman");
  ASSERT_TRUE(host.outlook.CloseExplorer(explorer).Ok());
  const CFBOpts stored = host.Stored();
  EXPECT_EQ(stored.m_dwToolbarRowIndex, 3u);
  EXPECT_EQ(stored.m_dwToolbarLeft, 50u);
  EXPECT_EQ(stored.m_dwToolbarPosition, 3u);
  EXPECT_TRUE(stored.GetSession().strSessionKey.empty());
}

TEST(ToolbarTest, SavedPlacementIsAppliedOnceAndSavedAtClose) {
  // Where Office puts a new bar when nothing was ever saved.
  SimBarState officePlace;
  {
    CAddinHost host;
    const int explorer = host.outlook.OpenExplorer();
    ASSERT_EQ(host.Connect(), S_OK);
    officePlace = *host.outlook.ReadBar(explorer, L"Zenlet");
  }
  struct Case {
    const char* name;
    std::uint32_t nRow, nLeft, nPosition;
    std::int32_t nExpectedRow, nExpectedLeft, nExpectedPosition;
  };
  const Case cases[] = {
      {"row index 0", 0, 50, 3, officePlace.nRowIndex, officePlace.nLeft, officePlace.nPosition},
      {"no side saved", 3, 40, 0, 3, 40, officePlace.nPosition},
      {"row and side", 2, 15, 3, 2, 15, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAddinHost host;
    SeedOptions(host, c.nRow, c.nLeft, c.nPosition);
    const int explorer = host.outlook.OpenExplorer();
    ASSERT_EQ(host.Connect(), S_OK);
    const SimBarState bar = *host.outlook.ReadBar(explorer, L"Zenlet");
    EXPECT_EQ(bar.nRowIndex, c.nExpectedRow);
    EXPECT_EQ(bar.nLeft, c.nExpectedLeft);
    EXPECT_EQ(bar.nPosition, c.nExpectedPosition);

    // The user drags the bar; a later activation leaves it there; the close saves it.
    std::shared_ptr<ICommandBars> bars;
    std::shared_ptr<ICommandBar> moved;
    ASSERT_EQ(host.outlook.Explorer(explorer)->GetCommandBars(&bars), S_OK);
    ASSERT_EQ(bars->FindBar(L"Zenlet", &moved), S_OK);
    ASSERT_EQ(moved->SetPosition(sim_bar_position::kBottom), S_OK);
    ASSERT_EQ(moved->SetRowIndex(6), S_OK);
    ASSERT_EQ(moved->SetLeft(70), S_OK);
    host.outlook.OpenExplorer();
    ASSERT_TRUE(host.outlook.ActivateExplorer(explorer).Ok());
    EXPECT_EQ(host.outlook.ReadBar(explorer, L"Zenlet")->nRowIndex, 6);
    host.LogIn(L"Dave Fetterman");
    ASSERT_TRUE(host.outlook.CloseExplorer(explorer).Ok());
    const CFBOpts stored = host.Stored();
    EXPECT_EQ(stored.m_dwToolbarRowIndex, 6u);
    EXPECT_EQ(stored.m_dwToolbarLeft, 70u);
    EXPECT_EQ(stored.m_dwToolbarPosition, static_cast<std::uint32_t>(sim_bar_position::kBottom));
    EXPECT_EQ(stored.GetSession().strUserName, L"Dave Fetterman");
  }
}

TEST(ToolbarTest, StatusFieldWidthIsClampedAndStoredBack) {
  struct Case {
    std::uint32_t nSaved;
    std::uint32_t nShown;
  };
  for (const Case& c : {Case{20, 50}, Case{900, 600}, Case{300, 300}}) {
    SCOPED_TRACE(c.nSaved);
    CAddinHost host;
    SeedOptions(host, 0, 0, 0, c.nSaved);
    const int explorer = host.outlook.OpenExplorer();
    ASSERT_EQ(host.Connect(), S_OK);
    EXPECT_EQ(host.outlook.ReadBar(explorer, L"Zenlet")->aControls[1].nWidth,
              static_cast<std::int32_t>(c.nShown));
    EXPECT_EQ(host.module->Options().m_dwStatusFieldWidth, c.nShown);
    ASSERT_TRUE(host.outlook.CloseExplorer(explorer).Ok());
    EXPECT_EQ(host.Stored().m_dwStatusFieldWidth, c.nShown);
  }
}

TEST(ToolbarTest, AnExplorerThatNeverBuiltABarClosesWithoutSaving) {
  CAddinHost host;
  host.outlook.Faults().FailAlways("CommandBars.Add", E_FAIL);
  const int explorer = host.outlook.OpenExplorer();
  ASSERT_EQ(host.Connect(), S_OK);
  EXPECT_FALSE(host.outlook.ReadBar(explorer, L"Zenlet").has_value());
  ASSERT_EQ(host.Application().m_explorers.m_list.size(), 1u);

  host.LogIn(L"Dave Fetterman");
  ASSERT_TRUE(host.outlook.CloseExplorer(explorer).Ok());
  EXPECT_TRUE(host.Application().m_explorers.m_list.empty());
  EXPECT_EQ(host.outlook.Explorers()[0].nSinksLeftAtClose, 0);
  CFBOpts stored(&host.registry, &host.protector, nullptr);
  EXPECT_NE(stored.Load(), kRegOk);  // the options key was never written
}

TEST(ToolbarTest, ABuildThatFailsPartWayIsCompletedByTheNextActivation) {
  struct Case {
    const char* name;
    const char* call;
    int nth;
    const wchar_t* version;
    size_t nControlsAfterInit;
    bool bCompletedByActivation;
  };
  // Controls are added in this order: button, status box, menu, its six items, drop-down.
  const Case cases[] = {
      {"the status box", "CommandBarControls.Add", 2, L"16.0.0.4266", 1, true},
      {"the status box's interface", "QueryInterface(CommandBarComboBox)", 1, L"16.0.0.4266", 2,
       true},
      {"the menu's bar", "CommandBarPopup.CommandBar", 1, L"16.0.0.4266", 3, true},
      {"the drop-down", "CommandBarControls.Add", 10, L"16.0.0.4266", 3, true},
      {"the status box, Outlook 2000", "CommandBarControls.Add", 2, L"9.0.0.2711", 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimOutlookOptions options;
    options.strVersion = c.version;
    CAddinHost host(options);
    const int explorer = host.outlook.OpenExplorer();
    const int other = host.outlook.OpenExplorer();
    ASSERT_TRUE(host.outlook.ActivateExplorer(explorer).Ok());
    host.outlook.Faults().Inject(c.call, E_FAIL, c.nth);
    ASSERT_EQ(host.Connect(), S_OK);
    EXPECT_EQ(host.outlook.ReadBar(explorer, L"Zenlet")->aControls.size(), c.nControlsAfterInit);
    EXPECT_FALSE(host.Application().m_explorers.m_list[0]->m_bToolbarBuilt);

    ASSERT_TRUE(host.outlook.ActivateExplorer(other).Ok());
    ASSERT_TRUE(host.outlook.ActivateExplorer(explorer).Ok());
    const SimBarState bar = *host.outlook.ReadBar(explorer, L"Zenlet");
    if (c.bCompletedByActivation) {
      EXPECT_TRUE(bar.bVisible);
      ExpectWholeToolbar(bar, false);
      EXPECT_EQ(host.outlook.ExplorerSinkCount(explorer), 10);
    } else {
      EXPECT_EQ(bar.aControls.size(), c.nControlsAfterInit);
    }
  }
}

// Regression: a menu item whose creation failed was never tried again, because the build
// counted as complete once the menu existed: that window had no logout item for good.
TEST(ToolbarTest, AMenuItemThatCouldNotBeAddedIsAddedByTheNextActivation) {
  CAddinHost host;
  const int explorer = host.outlook.OpenExplorer();
  const int other = host.outlook.OpenExplorer();
  ASSERT_TRUE(host.outlook.ActivateExplorer(explorer).Ok());
  // Controls are added in this order: button, status box, menu, its six items, drop-down.
  host.outlook.Faults().Inject("CommandBarControls.Add", E_FAIL, 5);
  ASSERT_EQ(host.Connect(), S_OK);
  ASSERT_EQ(host.outlook.ReadBar(explorer, L"Zenlet")->aControls[2].aMenu.size(), 5u);

  ASSERT_TRUE(host.outlook.ActivateExplorer(other).Ok());
  ASSERT_TRUE(host.outlook.ActivateExplorer(explorer).Ok());
  host.LogIn(L"Dave Fetterman");
  host.outlook.FireTimers();
  const std::vector<SimControlState> menu =
      host.outlook.ReadBar(explorer, L"Zenlet")->aControls[2].aMenu;
  ASSERT_EQ(menu.size(), 6u);
  EXPECT_EQ(menu.back().strCaption, L"Logout from Zenlet (Dave Fetterman)");
  EXPECT_TRUE(menu.back().bVisible);
  EXPECT_EQ(host.outlook.ExplorerSinkCount(explorer), 10);
  EXPECT_TRUE(host.Application().m_explorers.m_list[0]->m_bToolbarBuilt);
}

// Regression: the logout item kept the name it showed last, so after Ben logged in it read
// "Logout from Zenlet (Dave Fetterman)" until Ben's own record arrived.
TEST(ToolbarTest, TheLogoutItemNamesNoOneUntilTheNewAccountsNameIsKnown) {
  CAddinHost host;
  const int explorer = host.outlook.OpenExplorer();
  ASSERT_EQ(host.Connect(), S_OK);
  const auto logoutCaption = [&] {
    return host.outlook.ReadBar(explorer, L"Zenlet")->aControls[2].aMenu[1].strCaption;
  };
  host.LogIn(L"Dave Fetterman");
  host.outlook.FireTimers();
  EXPECT_EQ(logoutCaption(), L"Logout from Zenlet (Dave Fetterman)");
  host.LogIn(L"");  // the next login, before its record has arrived
  host.outlook.FireTimers();
  EXPECT_EQ(logoutCaption(), L"Logout from Zenlet");
}

// Records the clicks a button event object passes on.
class CRecordingCallback : public ICBButtonEventCallback {
 public:
  void OnButtonClick(const std::shared_ptr<ICommandBarButton>&, bool*, unsigned id) override {
    aIds.push_back(id);
  }
  std::vector<unsigned> aIds;
};

TEST(ToolbarTest, ReleasingTheToolbarUnadvisesEverySink) {
  CAddinHost host;
  const int explorer = host.outlook.OpenExplorer();
  ASSERT_EQ(host.Connect(), S_OK);
  // The window, seven buttons and two combo boxes.
  EXPECT_EQ(host.outlook.ExplorerSinkCount(explorer), 10);

  // The cookie rule, on a click sink of the test's own. A second advise used to take the new
  // command id and callback before it was refused, so the first connection's clicks arrived
  // with the second's id.
  std::shared_ptr<morvane::CFBOutlookExplorer> object = host.Application().m_explorers.m_list[0];
  CRecordingCallback callback;
  auto event = std::make_shared<CCBButtonEvent>();
  EXPECT_EQ(event->SinkCookie(), kNotAdvised);
  ASSERT_EQ(event->Advise(object->m_spAboutButton, &callback, 42), S_OK);
  EXPECT_NE(event->SinkCookie(), kNotAdvised);
  try {
    event->Advise(object->m_spAboutButton, &callback, 43);
    ADD_FAILURE() << "a second advise was accepted";
  } catch (const CHResultError& error) {
    EXPECT_EQ(error.Code(), E_FAIL);
  }
  ASSERT_TRUE(host.outlook.PressButton(explorer, {L"Zenlet", 3, 6, L""}).Ok());
  EXPECT_EQ(callback.aIds, std::vector<unsigned>{42});
  event->Release();
  EXPECT_EQ(event->SinkCookie(), kNotAdvised);
  ASSERT_TRUE(host.outlook.PressButton(explorer, {L"Zenlet", 3, 6, L""}).Ok());
  EXPECT_EQ(callback.aIds.size(), 1u);

  object.reset();
  ASSERT_TRUE(host.outlook.CloseExplorer(explorer).Ok());
  EXPECT_EQ(host.outlook.Explorers()[0].nSinksLeftAtClose, 0);
}

}  // namespace
