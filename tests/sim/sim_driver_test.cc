// The simulated Outlook's driver and the Office behaviours it copies: what the user can and
// cannot reach, tag-linked clicks, bars that outlive their window, activation, and windows
// that close from inside their own events.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_clipboard.h"
#include "tests/sim/sim_test_support.h"

namespace {

using Path = SimControlPath;

std::vector<SimBarState> ReachabilityBars() {
  return {SimBar(L"Zenlet",
                 {SimButton(L"Go"), SimBox(office::kControlComboBox, L"Status", {L"a", L"b"}),
                  SimMenu(L"Menu", {SimButton(L"Enabled item"), SimButton(L"Disabled item", false),
                                    SimButton(L"Hidden item", true, false)}),
                  SimBox(office::kControlDropdown, L"Notes", {L"x"}), SimButton(L"Off", false),
                  SimMenu(L"Locked", {SimButton(L"Inside")}, false)}),
          SimBar(L"Hidden", {SimButton(L"Unseen")}, false)};
}

struct InputCase {
  const char* pszName;
  enum { kPress, kType, kPick } eAction;
  int nExplorer;
  Path path;
  int nIndex;
  HRESULT hr;
  const char* pszError;  // part of the explanation; empty for success
};

TEST(SimDriverTest, InputReachesOnlyWhatTheUserCouldReachAndExplainsTheRest) {
  const InputCase cases[] = {
      {"button", InputCase::kPress, 1, Path::At(L"Zenlet", 1), 0, S_OK, ""},
      {"menu item by caption", InputCase::kPress, 1, Path::Captioned(L"Zenlet", L"enabled ITEM"), 0,
       S_OK, ""},
      {"no such explorer", InputCase::kPress, 7, Path::At(L"Zenlet", 1), 0, E_INVALIDARG,
       "there is no explorer 7"},
      {"no such bar", InputCase::kPress, 1, Path::At(L"Nope", 1), 0, E_INVALIDARG, "has no bar"},
      {"hidden bar", InputCase::kPress, 1, Path::At(L"Hidden", 1), 0, E_ACCESSDENIED, "is hidden"},
      {"past the last control", InputCase::kPress, 1, Path::At(L"Zenlet", 9), 0, E_INVALIDARG,
       "has 6 controls"},
      {"a menu itself", InputCase::kPress, 1, Path::At(L"Zenlet", 3), 0, E_INVALIDARG, "is a menu"},
      {"disabled item", InputCase::kPress, 1, Path::At(L"Zenlet", 3, 2), 0, E_ACCESSDENIED,
       "is disabled"},
      {"hidden item", InputCase::kPress, 1, Path::At(L"Zenlet", 3, 3), 0, E_ACCESSDENIED,
       "is hidden"},
      {"past the last item", InputCase::kPress, 1, Path::At(L"Zenlet", 3, 4), 0, E_INVALIDARG,
       "has 3 items"},
      {"item of a disabled menu", InputCase::kPress, 1, Path::At(L"Zenlet", 6, 1), 0,
       E_ACCESSDENIED, "\"Locked\" is disabled"},
      {"item of a button", InputCase::kPress, 1, Path::At(L"Zenlet", 1, 1), 0, E_INVALIDARG,
       "is not a menu"},
      {"disabled button", InputCase::kPress, 1, Path::At(L"Zenlet", 5), 0, E_ACCESSDENIED,
       "is disabled"},
      {"pressing a box", InputCase::kPress, 1, Path::At(L"Zenlet", 2), 0, E_INVALIDARG,
       "is not a button"},
      {"typing", InputCase::kType, 1, Path::At(L"Zenlet", 2), 0, S_OK, ""},
      {"typing into a drop-down", InputCase::kType, 1, Path::At(L"Zenlet", 4), 0, E_INVALIDARG,
       "cannot be typed into"},
      {"typing into a button", InputCase::kType, 1, Path::At(L"Zenlet", 1), 0, E_INVALIDARG,
       "not a box"},
      {"picking", InputCase::kPick, 1, Path::At(L"Zenlet", 4), 1, S_OK, ""},
      {"picking past the list", InputCase::kPick, 1, Path::At(L"Zenlet", 2), 3, E_INVALIDARG,
       "has 2 items, so no item 3"},
      {"picking item 0", InputCase::kPick, 1, Path::At(L"Zenlet", 2), 0, E_INVALIDARG,
       "so no item 0"},
      {"picking from a button", InputCase::kPick, 1, Path::At(L"Zenlet", 1), 1, E_INVALIDARG,
       "no list"},
  };
  CSimulatedOutlook host;
  SimExplorerSetup setup;
  setup.bars = ReachabilityBars();
  ASSERT_EQ(host.outlook.OpenExplorer(setup), 1);
  std::vector<std::string> log;
  CNotingSink go(&log, "go"), item(&log, "item"), status(&log, "status"), notes(&log, "notes");
  AdviseControl(*ControlAt(host.outlook, 1, L"Zenlet", 1), &go);
  AdviseControl(*ControlAt(host.outlook, 1, L"Zenlet", 3, 1), &item);
  AdviseControl(*ControlAt(host.outlook, 1, L"Zenlet", 2), &status);
  AdviseControl(*ControlAt(host.outlook, 1, L"Zenlet", 4), &notes);

  for (const InputCase& c : cases) {
    log.clear();
    SimResult result;
    switch (c.eAction) {
      case InputCase::kPress:
        result = host.outlook.PressButton(c.nExplorer, c.path);
        break;
      case InputCase::kType:
        result = host.outlook.TypeText(c.nExplorer, c.path, L"typed");
        break;
      case InputCase::kPick:
        result = host.outlook.PickItem(c.nExplorer, c.path, c.nIndex);
        break;
    }
    EXPECT_EQ(result.hr, c.hr) << c.pszName << ": " << result.strError;
    EXPECT_NE(result.strError.find(c.pszError), std::string::npos)
        << c.pszName << ": " << result.strError;
    EXPECT_EQ(log.size(), SUCCEEDED(c.hr) ? 1u : 0u) << c.pszName;  // failures fire nothing
  }
  const SimBarState bar = *host.outlook.ReadBar(1, L"Zenlet");
  EXPECT_EQ(bar.aControls[1].strText, L"typed");
  EXPECT_EQ(bar.aControls[1].nListIndex, 0);
  EXPECT_EQ(bar.aControls[3].strText, L"x");
  EXPECT_EQ(bar.aControls[3].nListIndex, 1);
  EXPECT_EQ(bar.aControls[0].nSinks, 1);
  EXPECT_EQ(bar.aControls[2].aMenu[0].nSinks, 1);
}

TEST(SimDriverTest, AClickReachesEveryButtonWithTheClickedOnesTagInAnyWindow) {
  CSimulatedOutlook host;
  SimExplorerSetup setup;
  SimControlState tagged = SimButton(L"Tagged");
  tagged.strTag = L"MV1";
  setup.bars = std::vector<SimBarState>{SimBar(L"Zenlet", {tagged, SimButton(L"Plain")})};
  host.outlook.OpenExplorer(setup);
  host.outlook.OpenExplorer(setup);
  std::vector<std::string> log;
  CNotingSink first(&log, "1"), second(&log, "2"), plain(&log, "plain"), other(&log, "other");
  AdviseControl(*ControlAt(host.outlook, 1, L"Zenlet", 1), &first);
  AdviseControl(*ControlAt(host.outlook, 2, L"Zenlet", 1), &second);
  AdviseControl(*ControlAt(host.outlook, 1, L"Zenlet", 2), &plain);
  AdviseControl(*ControlAt(host.outlook, 2, L"Zenlet", 2), &other);

  ASSERT_TRUE(host.outlook.PressButton(2, Path::At(L"Zenlet", 1)).Ok());
  EXPECT_EQ(log, (std::vector<std::string>{"2:click", "1:click"}));
  log.clear();
  ASSERT_TRUE(host.outlook.PressButton(1, Path::At(L"Zenlet", 2)).Ok());
  EXPECT_EQ(log, (std::vector<std::string>{"plain:click"}));  // no tag links no other button
}

TEST(SimDriverTest, BarsAddedAsNotTemporaryComeBackInLaterWindowsWithoutTemporaryControls) {
  CSimulatedOutlook host;
  host.outlook.OpenExplorer();
  std::shared_ptr<ICommandBars> bars;
  ASSERT_EQ(host.outlook.Explorer(1)->GetCommandBars(&bars), S_OK);
  std::shared_ptr<ICommandBar> kept, gone, twin;
  ASSERT_EQ(bars->AddBar(L"Kept", office::kBarTop, false, false, &kept), S_OK);
  ASSERT_EQ(bars->AddBar(L"Gone", office::kBarTop, false, true, &gone), S_OK);
  EXPECT_EQ(bars->AddBar(L"KEPT", office::kBarTop, false, true, &twin), E_INVALIDARG);
  EXPECT_EQ(twin, nullptr);
  std::shared_ptr<ICommandBarControls> controls;
  ASSERT_EQ(kept->GetControls(&controls), S_OK);
  std::shared_ptr<ICommandBarControl> stays, goes;
  ASSERT_EQ(controls->AddControl(office::kControlButton, false, &stays), S_OK);
  ASSERT_EQ(controls->AddControl(office::kControlButton, true, &goes), S_OK);
  ASSERT_EQ(stays->SetCaption(L"Stays"), S_OK);
  ASSERT_EQ(goes->SetCaption(L"Goes"), S_OK);
  const SimBarState added = *host.outlook.ReadBar(1, L"Kept");
  EXPECT_FALSE(added.bVisible);   // a new bar shows once made visible
  EXPECT_EQ(added.nRowIndex, 3);  // below "Menu Bar" and "Standard"

  ASSERT_TRUE(host.outlook.CloseExplorer(1).Ok());
  host.outlook.OpenExplorer();
  const std::optional<SimBarState> back = host.outlook.ReadBar(2, L"Kept");
  ASSERT_TRUE(back.has_value());
  ASSERT_EQ(back->aControls.size(), 1u);
  EXPECT_EQ(back->aControls[0].strCaption, L"Stays");
  EXPECT_FALSE(host.outlook.ReadBar(2, L"Gone").has_value());
  EXPECT_FALSE(host.outlook.ReadBar(1, L"Kept").has_value());  // closed windows show nothing
}

TEST(SimDriverTest, WhenTheActiveWindowClosesTheOneActiveBeforeItIsActivated) {
  CSimulatedOutlook host;
  for (int i = 0; i < 3; ++i) {
    host.outlook.OpenExplorer();
  }
  std::vector<std::string> log;
  CNotingSink first(&log, "1");
  std::uint32_t cookie = kNotAdvised;
  ASSERT_EQ(host.outlook.Explorer(1)->Advise(&first, &cookie), S_OK);
  ASSERT_TRUE(host.outlook.ActivateExplorer(1).Ok());
  EXPECT_EQ(host.outlook.ActivateExplorer(1).hr, S_FALSE);  // already active: no event
  ASSERT_TRUE(host.outlook.ActivateExplorer(3).Ok());
  ASSERT_TRUE(host.outlook.CloseExplorer(3).Ok());
  EXPECT_EQ(host.outlook.ActiveExplorer(), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"1:activate", "1:activate"}));
  EXPECT_EQ(host.outlook.WindowSystem().GetActiveWindow(), host.outlook.Explorers()[0].window);

  host.outlook.ClearActiveExplorer();
  std::shared_ptr<IOutlookExplorer> active;
  ASSERT_EQ(host.outlook.Application()->GetActiveExplorer(&active), S_OK);
  EXPECT_EQ(active, nullptr);
  EXPECT_EQ(host.outlook.CloseExplorer(3).hr, E_INVALIDARG);
  EXPECT_EQ(host.outlook.Explorer(1)->Unadvise(cookie), S_OK);
}

// A sink that, like the add-in's explorer object, lets itself go from its own Close handler.
class CSelfReleasingSink : public IExplorerEvents {
 public:
  CSelfReleasingSink(std::shared_ptr<IOutlookExplorer> explorer, std::vector<std::string>* log)
      : m_spExplorer(std::move(explorer)), m_pLog(log) {
    EXPECT_EQ(m_spExplorer->Advise(this, &m_nCookie), S_OK);
  }
  void OnActivate() override {}
  void OnSelectionChange() override {}
  void OnClose() override {
    m_pLog->push_back("released");
    EXPECT_EQ(m_spExplorer->Unadvise(m_nCookie), S_OK);
    delete this;
  }

 private:
  std::shared_ptr<IOutlookExplorer> m_spExplorer;
  std::vector<std::string>* m_pLog;
  std::uint32_t m_nCookie = kNotAdvised;
};

// Regression: a Close handler that released its own object, followed by the sim touching
// that sink again, must not run code in a destroyed object (the address sanitizer sees it).
TEST(SimDriverTest, ASinkMayDestroyItselfInCloseAndTheSinksAfterItStillHearIt) {
  CSimulatedOutlook host;
  host.outlook.OpenExplorer();
  std::vector<std::string> log;
  new CSelfReleasingSink(host.outlook.Explorer(1), &log);
  CNotingSink after(&log, "after");
  std::uint32_t cookie = kNotAdvised;
  ASSERT_EQ(host.outlook.Explorer(1)->Advise(&after, &cookie), S_OK);
  after.onEvent = [&] { EXPECT_EQ(host.outlook.Explorer(1)->Unadvise(cookie), S_OK); };

  ASSERT_TRUE(host.outlook.CloseExplorer(1).Ok());
  EXPECT_EQ(log, (std::vector<std::string>{"released", "after:close"}));
  EXPECT_EQ(host.outlook.Explorers()[0].nSinksLeftAtClose, 0);
}

TEST(SimDriverTest, AWindowClosedFromAClickHandlerEndsTheClickAndCountsTheSinksLeft) {
  CSimulatedOutlook host;
  SimExplorerSetup setup;
  setup.bars = std::vector<SimBarState>{SimBar(L"Zenlet", {SimButton(L"Close it")})};
  host.outlook.OpenExplorer(setup);
  std::vector<std::string> log;
  CNotingSink closer(&log, "closer"), later(&log, "later"), window(&log, "window");
  std::shared_ptr<ICommandBarControl> button = ControlAt(host.outlook, 1, L"Zenlet", 1);
  AdviseControl(*button, &closer);
  AdviseControl(*button, &later);
  std::uint32_t cookie = kNotAdvised;
  ASSERT_EQ(host.outlook.Explorer(1)->Advise(&window, &cookie), S_OK);
  closer.onEvent = [&] { EXPECT_TRUE(host.outlook.CloseExplorer(1).Ok()); };

  ASSERT_TRUE(host.outlook.PressButton(1, Path::At(L"Zenlet", 1)).Ok());
  EXPECT_EQ(log, (std::vector<std::string>{"closer:click", "window:close"}));
  EXPECT_EQ(button->SetCaption(L"gone"), sim_error::kDisconnected);
  // Nobody unadvised: the window took three sinks with it.
  EXPECT_EQ(host.outlook.Explorers()[0].nSinksLeftAtClose, 3);
  EXPECT_EQ(host.outlook.Explorers()[0].bOpen, false);
}

TEST(SimClipboardTest, ContentsCopyAcrossClipboardsWithRegisteredFormatsByName) {
  CSimulatedOutlook system;
  CSimulatedOutlook office;
  IClipboard& from = system.outlook.Clipboard();
  IClipboard& to = office.outlook.Clipboard();
  const std::uint32_t face = from.RegisterFormat(L"Toolbar Button Face");
  to.RegisterFormat(L"Something registered first");  // the same name gets another number
  ASSERT_TRUE(from.Open());
  from.SetData(clipboard_format::kUnicodeText, {'h', 0, 0, 0});
  from.SetData(face, {1, 2, 3});
  from.Close();

  EXPECT_TRUE(CopyClipboardContents(from, to));
  const std::uint32_t copied = to.RegisterFormat(L"toolbar button face");
  EXPECT_NE(copied, face);
  ASSERT_TRUE(to.Open());
  EXPECT_EQ(to.Formats(), (std::vector<std::uint32_t>{clipboard_format::kUnicodeText, copied}));
  std::vector<std::uint8_t> data;
  EXPECT_TRUE(to.GetData(copied, &data));
  EXPECT_EQ(data, (std::vector<std::uint8_t>{1, 2, 3}));
  to.Close();

  // A clipboard held open elsewhere is left as it was.
  ASSERT_TRUE(office.outlook.SimClipboard().HoldByAnotherProgram(true));
  EXPECT_FALSE(CopyClipboardContents(to, from));
  EXPECT_FALSE(CopyClipboardContents(from, to));
}

}  // namespace
