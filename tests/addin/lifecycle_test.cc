// The add-in's connection lifecycle inside the simulated Outlook: which explorers get an
// object at start-up, Quit and disconnection, reconnection, Outlook's version and the module
// locks.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "addin/module_state.h"
#include "tests/addin/addin_host.h"

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kRealTimeout = 10s;

// Opens `count` explorers, then makes `active` the active one (0: none is active).
void OpenExplorers(CSimOutlook& outlook, int count, int active) {
  for (int i = 0; i < count; ++i) {
    SimExplorerSetup setup;
    setup.bActivate = false;
    ASSERT_NE(outlook.OpenExplorer(setup), 0);
  }
  if (active != 0) {
    ASSERT_TRUE(outlook.ActivateExplorer(active).Ok());
  } else {
    outlook.ClearActiveExplorer();
  }
}

TEST(AddinLifecycleTest, StartUpAttachesToTheActiveExplorerOrElseTheFirstFive) {
  struct Case {
    const char* name;
    int nExplorers;
    int nActive;
    std::vector<bool> withToolbar;  // per explorer, from 1
  };
  const Case cases[] = {
      {"an active explorer and three others", 4, 2, {false, true, false, false}},
      {"no active explorer and seven", 7, 0, {true, true, true, true, true, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAddinHost host;
    OpenExplorers(host.outlook, c.nExplorers, c.nActive);
    ASSERT_EQ(host.Connect(), S_OK);

    int expected = 0;
    for (int i = 1; i <= c.nExplorers; ++i) {
      const bool shown = c.withToolbar[i - 1];
      expected += shown ? 1 : 0;
      EXPECT_EQ(host.outlook.ReadBar(i, L"Zenlet").has_value(), shown) << "explorer " << i;
    }
    EXPECT_EQ(host.Application().m_explorers.m_list.size(), static_cast<size_t>(expected));
    EXPECT_EQ(host.LogLines("tec", "ini: ec " + std::to_string(c.nExplorers)), 1);
    EXPECT_EQ(host.LogLines("tec", "ini: no ae"), c.nActive == 0 ? 1 : 0);

    // Later windows arrive through NewExplorer.
    const int later = host.outlook.OpenExplorer();
    EXPECT_TRUE(host.outlook.ReadBar(later, L"Zenlet").has_value());
    EXPECT_EQ(host.Application().m_explorers.m_list.size(), static_cast<size_t>(expected + 1));
  }
}

// Regression: Outlook 2010 and later fire Quit and end the process without OnDisconnection.
// The add-in stopped its worker but kept its explorer objects with their toolbars and sinks,
// the module state's application and the connection's objects until the module's static
// destructors released them into an Outlook that had gone, and it stored nothing: a login
// made since the last window closed was lost.
TEST(AddinLifecycleTest, QuitDoesWhatDisconnectionWouldAndLetsGoOfEveryOutlookObject) {
  CAddinHost host;
  OpenExplorers(host.outlook, 2, 1);
  ASSERT_EQ(host.Connect(), S_OK);
  const int later = host.outlook.OpenExplorer();
  morvane::CZenletApplication& application = host.Application();
  ASSERT_TRUE(host.hooks.WaitForStarts(1, kRealTimeout));
  ASSERT_EQ(application.m_explorers.m_list.size(), 2u);
  host.LogIn(L"Dana Whitfield");
  // One placement is kept: the one of the window that lets go last.
  ASSERT_EQ(application.m_explorers.m_list.back()->m_spCommandBar->SetRowIndex(5), S_OK);

  ASSERT_TRUE(host.outlook.FireQuit().Ok());
  EXPECT_EQ(host.outlook.TimerCount(), 0);
  EXPECT_FALSE(application.m_runner.IsRunning());
  EXPECT_TRUE(host.hooks.WaitForEnds(1, kRealTimeout));
  EXPECT_EQ(host.outlook.ApplicationSinkCount(), 0);
  EXPECT_EQ(host.outlook.ExplorersSinkCount(), 0);
  for (const int explorer : {1, later}) {
    EXPECT_EQ(host.outlook.ExplorerSinkCount(explorer), 0) << explorer;
    // The bars go with the windows: nothing is deleted from an Outlook that is ending.
    EXPECT_TRUE(host.outlook.ReadBar(explorer, L"Zenlet").has_value()) << explorer;
  }
  EXPECT_TRUE(application.m_explorers.m_list.empty());
  std::shared_ptr<IOutlookApplication> held;
  EXPECT_EQ(GetOutlookApplication(&held), E_POINTER);
  const CFBOpts stored = host.Stored();
  EXPECT_EQ(stored.GetSession().strUserName, L"Dana Whitfield");
  EXPECT_EQ(stored.m_dwToolbarRowIndex, 5u);

  // The process ends: no Outlook or Office object is left for a static destructor.
  host.outlook.End();
  EXPECT_EQ(host.outlook.LiveObjects(), 0);
  EXPECT_EQ(CanUnloadModuleNow(), S_OK);

  // A disconnection after Quit, as older Outlooks send it, finds nothing left to do.
  EXPECT_EQ(host.Disconnect(), S_OK);
  EXPECT_EQ(host.hooks.Starts(), 1);
  EXPECT_EQ(GetOutlookMajorVersion(), 16);  // kept after disconnection
}

// Regression: unticking the add-in in the COM Add-ins dialog (OnDisconnection without Quit)
// left every bar in place with its sinks, frozen but still answering clicks, and ticking it
// again gave a bar to the active window only.
TEST(AddinLifecycleTest, SwitchedOffItTakesAwayWhatItMadeAndSwitchedOnEveryWindowGetsOneBar) {
  CAddinHost host;
  // Window 1 gets a bar of the add-in's own; window 2 has one named "Zenlet" already, on
  // which the add-in adds its controls beside one of someone else's.
  OpenExplorers(host.outlook, 1, 1);
  ASSERT_EQ(host.Connect(), S_OK);
  SimBarState found;
  found.strName = L"Zenlet";
  SimControlState theirs;
  theirs.strCaption = L"Someone else's";
  found.aControls.push_back(theirs);
  SimExplorerSetup setup;
  setup.bars = SimDefaultBars();
  setup.bars->push_back(found);
  const int second = host.outlook.OpenExplorer(setup);
  const int third = host.outlook.OpenExplorer();
  ASSERT_EQ(host.outlook.ReadBar(second, L"Zenlet")->aControls.size(), 5u);
  host.LogIn(L"Dana Whitfield");

  ASSERT_EQ(host.Disconnect(), S_OK);
  EXPECT_FALSE(host.outlook.ReadBar(1, L"Zenlet").has_value());
  EXPECT_FALSE(host.outlook.ReadBar(third, L"Zenlet").has_value());
  const std::optional<SimBarState> left = host.outlook.ReadBar(second, L"Zenlet");
  ASSERT_TRUE(left.has_value());
  ASSERT_EQ(left->aControls.size(), 1u);
  EXPECT_EQ(left->aControls[0].strCaption, L"Someone else's");
  for (const int explorer : {1, second, third}) {
    EXPECT_EQ(host.outlook.ExplorerSinkCount(explorer), 0) << explorer;
  }
  EXPECT_TRUE(host.Application().m_explorers.m_list.empty());
  EXPECT_TRUE(host.module->Client().IsLoggedIn());

  ASSERT_EQ(host.Connect(), S_OK);
  for (const int explorer : {1, second, third}) {
    // The window, seven buttons and two combo boxes, once.
    EXPECT_EQ(host.outlook.ExplorerSinkCount(explorer), 10) << explorer;
  }
  // A click is answered once: one About box.
  const std::size_t boxes = host.outlook.MessageBoxes().size();
  ASSERT_TRUE(host.outlook.PressButton(third, {L"Zenlet", 3, 6, L""}).Ok());
  EXPECT_EQ(host.outlook.MessageBoxes().size(), boxes + 1);
}

TEST(AddinLifecycleTest, ReconnectionKeepsTheVersionAndTheLiveSessionAndRestartsTimerAndRunner) {
  SimOutlookOptions options;
  options.strVersion = L"11.0.0.8312";
  CAddinHost host(options);
  OpenExplorers(host.outlook, 1, 1);
  ASSERT_EQ(host.Connect(), S_OK);
  // A login since the start is not in the store yet: the reconnection must not trade it for
  // the stored (here empty) session, nor save that over it when the window closes.
  host.LogIn(L"Dana Whitfield");
  ASSERT_EQ(host.Disconnect(), S_OK);
  EXPECT_EQ(host.outlook.TimerCount(), 0);
  ASSERT_TRUE(host.hooks.WaitForEnds(1, kRealTimeout));

  host.outlook.SetVersion(L"12.0.0.6425");
  ASSERT_EQ(host.Connect(), S_OK);
  EXPECT_EQ(GetOutlookMajorVersion(), 11);
  EXPECT_TRUE(host.module->Client().IsLoggedIn());
  EXPECT_EQ(host.module->Client().m_self.strName, L"Dana Whitfield");
  EXPECT_EQ(host.LogLines("otc", "oc: 2 11 12.0.0.6425 0.1.0.32"), 1);
  EXPECT_EQ(host.outlook.TimerCount(), 1);
  EXPECT_NE(host.Application().m_nTimerId, 0u);
  EXPECT_EQ(host.outlook.FireTimers(), 1);
  EXPECT_TRUE(host.hooks.WaitForStarts(2, kRealTimeout));
  EXPECT_TRUE(host.Application().m_runner.IsRunning());
  EXPECT_EQ(host.outlook.ApplicationSinkCount(), 1);
  EXPECT_EQ(host.outlook.ExplorersSinkCount(), 1);
  // The window's object outlived the disconnection and serves it still: a second one would
  // have added a second Facebook button whose clicks ran every command twice.
  EXPECT_EQ(host.Application().m_explorers.m_list.size(), 1u);
  const std::optional<SimBarState> bar = host.outlook.ReadBar(1, L"Zenlet");
  ASSERT_TRUE(bar.has_value());
  EXPECT_EQ(bar->aControls.size(), 4u);
  ASSERT_TRUE(host.outlook.CloseExplorer(1).Ok());
  EXPECT_FALSE(host.Stored().m_strSessionKey.empty());
}

TEST(AddinLifecycleTest, AnApplicationWithoutOutlooksInterfaceStillConnects) {
  CAddinHost host;
  OpenExplorers(host.outlook, 1, 1);
  EXPECT_EQ(host.Connect(false), S_OK);
  EXPECT_EQ(host.LogLines("otc", "oc: 1 0.1.0.32"), 1);
  EXPECT_EQ(host.LogLines("otc", "oc: 2 0  0.1.0.32"), 1);
  EXPECT_EQ(GetOutlookMajorVersion(), 0);
  EXPECT_EQ(host.outlook.TimerCount(), 1);
  EXPECT_TRUE(host.hooks.WaitForStarts(1, kRealTimeout));
  EXPECT_FALSE(host.outlook.ReadBar(1, L"Zenlet").has_value());
  EXPECT_EQ(host.outlook.ApplicationSinkCount(), 0);
  EXPECT_EQ(host.Disconnect(), S_OK);

  // No version was recorded, so the next connection records one.
  EXPECT_EQ(host.Connect(), S_OK);
  EXPECT_EQ(GetOutlookMajorVersion(), 16);
}

TEST(AddinLifecycleTest, MajorVersionIsTheVersionTextsLeadingNumber) {
  struct Case {
    const wchar_t* version;
    std::int32_t nMajor;
    const char* line;
  };
  const Case cases[] = {
      {L"11.0.0.8312", 11, "oc: 2 11 11.0.0.8312 0.1.0.32"},
      {L"9.0.0.2711", 9, "oc: 2 9 9.0.0.2711 0.1.0.32"},
      {L"", 0, "oc: 2 0  0.1.0.32"},
      {L"abc", 0, "oc: 2 0 abc 0.1.0.32"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    SimOutlookOptions options;
    options.strVersion = c.version;
    CAddinHost host(options);
    ASSERT_EQ(host.Connect(), S_OK);
    EXPECT_EQ(GetOutlookMajorVersion(), c.nMajor);
    EXPECT_EQ(host.LogLines("otc", c.line), 1);
    std::shared_ptr<IOutlookApplication> held;
    EXPECT_EQ(GetOutlookApplication(&held), S_OK);
    EXPECT_EQ(held, host.outlook.Application());
    ASSERT_EQ(host.Disconnect(), S_OK);
    EXPECT_EQ(GetOutlookApplication(&held), E_POINTER);
  }
}

TEST(AddinLifecycleTest, ModuleCannotUnloadWhileAnExplorerOrButtonObjectLives) {
  CAddinHost host;
  EXPECT_EQ(CanUnloadModuleNow(), S_OK);
  OpenExplorers(host.outlook, 1, 1);
  ASSERT_EQ(host.Connect(), S_OK);
  EXPECT_EQ(CanUnloadModuleNow(), S_FALSE);

  // A button object that outlives its explorer object keeps the module.
  std::weak_ptr<morvane::CFBOutlookExplorer> first = host.Application().m_explorers.m_list[0];
  std::shared_ptr<CCBButtonEvent> button = first.lock()->m_aButtonEvents[0];
  ASSERT_TRUE(host.outlook.CloseExplorer(1).Ok());
  EXPECT_TRUE(first.expired());
  EXPECT_EQ(CanUnloadModuleNow(), S_FALSE);
  button.reset();
  EXPECT_EQ(CanUnloadModuleNow(), S_OK);

  // So does an explorer object that outlives its window.
  const int second = host.outlook.OpenExplorer();
  std::shared_ptr<morvane::CFBOutlookExplorer> object = host.Application().m_explorers.m_list[0];
  ASSERT_TRUE(host.outlook.CloseExplorer(second).Ok());
  EXPECT_EQ(CanUnloadModuleNow(), S_FALSE);
  object.reset();
  EXPECT_EQ(CanUnloadModuleNow(), S_OK);
}

TEST(AddinLifecycleTest, ExplorerWindowIsTheFramesOrElseTheActiveWindow) {
  for (const bool frameReadable : {true, false}) {
    SCOPED_TRACE(frameReadable ? "frame readable" : "frame unreadable");
    CAddinHost host;
    OpenExplorers(host.outlook, 2, 1);
    ASSERT_EQ(host.Connect(), S_OK);
    ASSERT_TRUE(host.outlook.ActivateExplorer(2).Ok());
    if (!frameReadable) {
      host.outlook.Faults().FailAlways("IOleWindow.GetWindow", E_FAIL);
    }
    morvane::CFBOutlookExplorer& object = *host.Application().m_explorers.m_list[0];
    const WindowHandle expected = frameReadable ? host.outlook.Explorers()[0].window
                                                : host.outlook.WindowSystem().GetActiveWindow();
    EXPECT_NE(expected, 0u);
    EXPECT_EQ(object.GetExplorerWindow(), expected);
  }
}

// Regression: an explorer's Close handler ends by taking its object out of the collection,
// which drops the last reference to it; the object was destroyed while its own handler was
// still running and the handler went on in freed memory. The object must go only once the
// handler has returned (run under the address sanitizer).
TEST(AddinLifecycleTest, CloseHandlerThatReleasesItsOwnObjectRunsClean) {
  CAddinHost host;
  OpenExplorers(host.outlook, 2, 1);
  ASSERT_EQ(host.Connect(), S_OK);
  host.LogIn(L"Dave Fetterman");
  std::weak_ptr<morvane::CFBOutlookExplorer> object = host.Application().m_explorers.m_list[0];
  ASSERT_EQ(object.use_count(), 1);  // the list's reference only

  ASSERT_TRUE(host.outlook.CloseExplorer(1).Ok());
  EXPECT_TRUE(object.expired());
  EXPECT_TRUE(host.Application().m_explorers.m_list.empty());
  EXPECT_EQ(host.outlook.Explorers()[0].nSinksLeftAtClose, 0);
  EXPECT_EQ(host.LogLines("tec", "re: ec "), 1);
  // What the handler did before it let go is all there.
  EXPECT_FALSE(host.Stored().GetSession().strSessionKey.empty());
  EXPECT_EQ(CanUnloadModuleNow(), S_OK);
}

}  // namespace
