// The Outlook host contract, run against every host this build has: the simulated Outlook
// here; the Windows adapter over COM joins with its own peer.
#include "tests/platform/outlook_host_contract.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/noting_sink.h"
#include "tests/support/simulated_outlook.h"

namespace {

std::shared_ptr<IOutlookExplorer> ActiveExplorer(IOutlookApplication& app) {
  std::shared_ptr<IOutlookExplorer> explorer;
  EXPECT_EQ(app.GetActiveExplorer(&explorer), S_OK);
  return explorer;
}

WindowHandle WindowOf(IOutlookExplorer& explorer) {
  WindowHandle window = 0;
  EXPECT_EQ(explorer.GetWindow(&window), S_OK);
  return window;
}

}  // namespace

void OutlookHostContractTest::SetUp() {
  m_pPeer = GetParam().create();
  ASSERT_EQ(m_pPeer->ApplicationArgument()->QueryOutlookApplication(&m_spApplication), S_OK);
  ASSERT_NE(m_spApplication, nullptr);
}

std::shared_ptr<ICommandBars> OutlookHostContractTest::BarsOf(int number) {
  std::shared_ptr<IOutlookExplorers> explorers;
  EXPECT_EQ(App().GetExplorers(&explorers), S_OK);
  std::int32_t count = 0;
  explorers->GetCount(&count);
  for (std::int32_t i = 1; i <= count; ++i) {
    std::shared_ptr<IOutlookExplorer> explorer;
    explorers->GetItem(i, &explorer);
    if (i == number) {
      std::shared_ptr<ICommandBars> bars;
      EXPECT_EQ(explorer->GetCommandBars(&bars), S_OK);
      return bars;
    }
  }
  ADD_FAILURE() << "no explorer at " << number;
  return nullptr;
}

std::shared_ptr<ICommandBar> OutlookHostContractTest::AddBar(int number, const std::wstring& name) {
  std::shared_ptr<ICommandBar> bar;
  EXPECT_EQ(BarsOf(number)->AddBar(name, office::kBarTop, false, true, &bar), S_OK);
  EXPECT_EQ(bar->SetVisible(true), S_OK);
  return bar;
}

std::shared_ptr<ICommandBarControl> OutlookHostContractTest::AddControl(ICommandBar& bar,
                                                                        std::int32_t type) {
  std::shared_ptr<ICommandBarControls> controls;
  EXPECT_EQ(bar.GetControls(&controls), S_OK);
  std::shared_ptr<ICommandBarControl> control;
  EXPECT_EQ(controls->AddControl(type, true, &control), S_OK);
  return control;
}

TEST_P(OutlookHostContractTest, LookupsThatFindNothingSucceedWithNull) {
  std::wstring version;
  EXPECT_EQ(App().GetVersion(&version), S_OK);
  std::shared_ptr<IOutlookExplorer> active;
  EXPECT_EQ(App().GetActiveExplorer(&active), S_OK);
  EXPECT_EQ(active, nullptr);

  Peer().OpenExplorer();
  std::shared_ptr<ICommandBar> bar = AddBar(1, L"Contract");  // an out-value to see cleared
  std::shared_ptr<ICommandBarControls> controls;
  ASSERT_EQ(bar->GetControls(&controls), S_OK);
  std::shared_ptr<ICommandBarControl> control = AddControl(*bar, office::kControlButton);
  EXPECT_EQ(BarsOf(1)->FindBar(L"No bar of this name", &bar), S_OK);
  EXPECT_EQ(bar, nullptr);
  EXPECT_EQ(controls->FindControl(L"No control of this caption", &control), S_OK);
  EXPECT_EQ(control, nullptr);
}

TEST_P(OutlookHostContractTest, ExplorersFollowTheWindowsAndNewExplorerBringsTheNewOne) {
  std::vector<std::string> log;
  CNotingSink sink(&log, "s");
  std::shared_ptr<IOutlookExplorers> explorers;
  ASSERT_EQ(App().GetExplorers(&explorers), S_OK);
  std::uint32_t cookie = kNotAdvised;
  ASSERT_EQ(explorers->Advise(&sink, &cookie), S_OK);

  const int first = Peer().OpenExplorer();
  const WindowHandle firstWindow = WindowOf(*ActiveExplorer(App()));
  const int second = Peer().OpenExplorer();
  const WindowHandle secondWindow = WindowOf(*ActiveExplorer(App()));
  EXPECT_NE(firstWindow, secondWindow);
  ASSERT_NE(sink.spNewExplorer, nullptr);
  EXPECT_EQ(WindowOf(*sink.spNewExplorer), secondWindow);
  EXPECT_EQ(log, (std::vector<std::string>{"s:new", "s:new"}));

  std::int32_t count = 0;
  EXPECT_EQ(explorers->GetCount(&count), S_OK);
  EXPECT_EQ(count, 2);
  for (std::int32_t outside : {0, 3}) {
    std::shared_ptr<IOutlookExplorer> none = ActiveExplorer(App());
    EXPECT_TRUE(FAILED(explorers->GetItem(outside, &none))) << outside;
    EXPECT_EQ(none, nullptr) << outside;
  }

  Peer().CloseExplorer(first);
  EXPECT_EQ(explorers->GetCount(&count), S_OK);
  EXPECT_EQ(count, 1);
  std::shared_ptr<IOutlookExplorer> left;
  ASSERT_EQ(explorers->GetItem(1, &left), S_OK);
  EXPECT_EQ(WindowOf(*left), secondWindow);
  EXPECT_EQ(explorers->Unadvise(cookie), S_OK);
  Peer().CloseExplorer(second);
}

TEST_P(OutlookHostContractTest, EveryAdviseIsAConnectionOfItsOwnAndUnadviseChecksTheCookie) {
  Peer().OpenExplorer();
  std::shared_ptr<IOutlookExplorer> explorer = ActiveExplorer(App());
  const int other = Peer().OpenExplorer();
  std::vector<std::string> log;
  CNotingSink a(&log, "a");
  CNotingSink b(&log, "b");
  std::uint32_t cookies[3] = {kNotAdvised, kNotAdvised, kNotAdvised};
  ASSERT_EQ(explorer->Advise(&a, &cookies[0]), S_OK);
  ASSERT_EQ(explorer->Advise(&b, &cookies[1]), S_OK);
  ASSERT_EQ(explorer->Advise(&a, &cookies[2]), S_OK);  // the same sink again: a second one
  for (std::uint32_t cookie : cookies) {
    EXPECT_NE(cookie, kNotAdvised);
  }
  EXPECT_NE(cookies[0], cookies[1]);
  EXPECT_NE(cookies[0], cookies[2]);
  EXPECT_NE(cookies[1], cookies[2]);

  Peer().ActivateExplorer(1);
  EXPECT_EQ(log, (std::vector<std::string>{"a:activate", "b:activate", "a:activate"}));

  EXPECT_EQ(explorer->Unadvise(cookies[1] + cookies[2] + 7), kConnectNoConnection);
  EXPECT_EQ(explorer->Unadvise(cookies[1]), S_OK);
  EXPECT_EQ(explorer->Unadvise(cookies[1]), kConnectNoConnection);
  log.clear();
  Peer().ActivateExplorer(other);
  Peer().ActivateExplorer(1);
  EXPECT_EQ(log, (std::vector<std::string>{"a:activate", "a:activate"}));
  EXPECT_EQ(explorer->Unadvise(cookies[0]), S_OK);
  EXPECT_EQ(explorer->Unadvise(cookies[2]), S_OK);
}

TEST_P(OutlookHostContractTest, SinksUnadvisedDuringAnEventMissTheRestOfItAndNewOnesWait) {
  Peer().OpenExplorer();
  std::shared_ptr<IOutlookExplorer> explorer = ActiveExplorer(App());
  const int other = Peer().OpenExplorer();
  std::vector<std::string> log;
  CNotingSink first(&log, "1");
  CNotingSink second(&log, "2");
  CNotingSink third(&log, "3");
  CNotingSink late(&log, "late");
  std::uint32_t c1 = kNotAdvised, c2 = kNotAdvised, c3 = kNotAdvised, cLate = kNotAdvised;
  ASSERT_EQ(explorer->Advise(&first, &c1), S_OK);
  ASSERT_EQ(explorer->Advise(&second, &c2), S_OK);
  ASSERT_EQ(explorer->Advise(&third, &c3), S_OK);
  first.onEvent = [&] {
    first.onEvent = nullptr;
    EXPECT_EQ(explorer->Unadvise(c1), S_OK);  // itself
    EXPECT_EQ(explorer->Unadvise(c3), S_OK);  // one still to come
  };
  second.onEvent = [&] {
    second.onEvent = nullptr;
    EXPECT_EQ(explorer->Advise(&late, &cLate), S_OK);
  };

  Peer().ActivateExplorer(1);
  EXPECT_EQ(log, (std::vector<std::string>{"1:activate", "2:activate"}));
  log.clear();
  Peer().ActivateExplorer(other);
  Peer().ActivateExplorer(1);
  EXPECT_EQ(log, (std::vector<std::string>{"2:activate", "late:activate"}));
  EXPECT_EQ(explorer->Unadvise(c2), S_OK);
  EXPECT_EQ(explorer->Unadvise(cLate), S_OK);
}

TEST_P(OutlookHostContractTest, AClosingWindowsObjectsWorkInItsCloseEventAndFailAfter) {
  Peer().OpenExplorer();
  std::shared_ptr<IOutlookExplorer> explorer = ActiveExplorer(App());
  std::shared_ptr<ICommandBar> bar = AddBar(1, L"Contract");
  std::shared_ptr<ICommandBarButton> button;
  ASSERT_EQ(AddControl(*bar, office::kControlButton)->QueryButton(&button), S_OK);
  std::vector<std::string> log;
  CNotingSink sink(&log, "s");
  std::uint32_t explorerCookie = kNotAdvised, buttonCookie = kNotAdvised;
  ASSERT_EQ(explorer->Advise(&sink, &explorerCookie), S_OK);
  ASSERT_EQ(button->Advise(&sink, &buttonCookie), S_OK);
  std::int32_t rowInClose = -1;
  sink.onEvent = [&] {
    EXPECT_EQ(bar->GetRowIndex(&rowInClose), S_OK);
    EXPECT_EQ(button->SetCaption(L"still here"), S_OK);
    EXPECT_EQ(button->Unadvise(buttonCookie), S_OK);
    EXPECT_EQ(explorer->Unadvise(explorerCookie), S_OK);
  };

  Peer().CloseExplorer(1);
  EXPECT_EQ(log, (std::vector<std::string>{"s:close"}));
  EXPECT_GE(rowInClose, 0);
  bool visible = false;
  EXPECT_TRUE(FAILED(bar->GetVisible(&visible)));
  EXPECT_TRUE(FAILED(button->SetCaption(L"gone")));
  std::shared_ptr<ICommandBarControls> controls;
  EXPECT_TRUE(FAILED(bar->GetControls(&controls)));
  EXPECT_EQ(controls, nullptr);
  std::shared_ptr<ICommandBars> bars;
  EXPECT_TRUE(FAILED(explorer->GetCommandBars(&bars)));
  EXPECT_EQ(bars, nullptr);
  EXPECT_TRUE(FAILED(explorer->Advise(&sink, &explorerCookie)));
}

TEST_P(OutlookHostContractTest, ControlsAppendAnswerTheirOwnInterfaceAndPopupsHaveABar) {
  Peer().OpenExplorer();
  std::shared_ptr<ICommandBar> bar = AddBar(1, L"Contract");
  std::shared_ptr<ICommandBarControl> button = AddControl(*bar, office::kControlButton);
  std::shared_ptr<ICommandBarControl> combo = AddControl(*bar, office::kControlComboBox);
  std::shared_ptr<ICommandBarControl> popup = AddControl(*bar, office::kControlPopup);
  ASSERT_EQ(combo->SetCaption(L"Box"), S_OK);
  std::shared_ptr<ICommandBarControls> controls;
  ASSERT_EQ(bar->GetControls(&controls), S_OK);
  std::int32_t count = 0;
  EXPECT_EQ(controls->GetCount(&count), S_OK);
  EXPECT_EQ(count, 3);
  std::shared_ptr<ICommandBarControl> found;
  EXPECT_EQ(controls->FindControl(L"Box", &found), S_OK);
  ASSERT_NE(found, nullptr);
  std::int32_t type = 0;
  EXPECT_EQ(found->GetType(&type), S_OK);
  EXPECT_EQ(type, office::kControlComboBox);

  // Each control answers its own interface only, and leaves the others null.
  std::shared_ptr<ICommandBarButton> asButton;
  std::shared_ptr<ICommandBarComboBox> asCombo;
  std::shared_ptr<ICommandBarPopup> asPopup;
  EXPECT_EQ(combo->QueryButton(&asButton), E_NOINTERFACE);
  EXPECT_EQ(asButton, nullptr);
  EXPECT_EQ(button->QueryComboBox(&asCombo), E_NOINTERFACE);
  EXPECT_EQ(asCombo, nullptr);
  EXPECT_EQ(button->QueryPopup(&asPopup), E_NOINTERFACE);
  EXPECT_EQ(button->QueryButton(&asButton), S_OK);
  EXPECT_EQ(combo->QueryComboBox(&asCombo), S_OK);
  ASSERT_EQ(popup->QueryPopup(&asPopup), S_OK);
  std::shared_ptr<ICommandBar> menu;
  ASSERT_EQ(asPopup->GetCommandBar(&menu), S_OK);
  AddControl(*menu, office::kControlButton);
  std::shared_ptr<ICommandBarControls> items;
  ASSERT_EQ(menu->GetControls(&items), S_OK);
  EXPECT_EQ(items->GetCount(&count), S_OK);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(controls->GetCount(&count), S_OK);
  EXPECT_EQ(count, 3);  // menu items are not the bar's
}

TEST_P(OutlookHostContractTest, DeletedControlsAndBarsLeaveTheirWindowAndAnswerNoMore) {
  Peer().OpenExplorer();
  std::shared_ptr<ICommandBar> bar = AddBar(1, L"Contract");
  std::shared_ptr<ICommandBarControl> button = AddControl(*bar, office::kControlButton);
  std::shared_ptr<ICommandBarControl> popup = AddControl(*bar, office::kControlPopup);
  ASSERT_EQ(button->SetCaption(L"Gone"), S_OK);

  EXPECT_EQ(button->Delete(), S_OK);
  std::shared_ptr<ICommandBarControls> controls;
  ASSERT_EQ(bar->GetControls(&controls), S_OK);
  std::int32_t count = 0;
  EXPECT_EQ(controls->GetCount(&count), S_OK);
  EXPECT_EQ(count, 1);
  std::shared_ptr<ICommandBarControl> found;
  EXPECT_EQ(controls->FindControl(L"Gone", &found), S_OK);
  EXPECT_EQ(found, nullptr);
  EXPECT_TRUE(FAILED(button->SetCaption(L"Back")));

  // A menu's own bar goes only with its menu; the bar takes every control with it.
  std::shared_ptr<ICommandBarPopup> asPopup;
  ASSERT_EQ(popup->QueryPopup(&asPopup), S_OK);
  std::shared_ptr<ICommandBar> menu;
  ASSERT_EQ(asPopup->GetCommandBar(&menu), S_OK);
  EXPECT_TRUE(FAILED(menu->Delete()));
  EXPECT_EQ(bar->Delete(), S_OK);
  std::shared_ptr<ICommandBar> lookedUp;
  EXPECT_EQ(BarsOf(1)->FindBar(L"Contract", &lookedUp), S_OK);
  EXPECT_EQ(lookedUp, nullptr);
  EXPECT_TRUE(FAILED(bar->SetVisible(true)));
  EXPECT_TRUE(FAILED(popup->SetCaption(L"Menu")));
}

TEST_P(OutlookHostContractTest, PressesClickOnceAndComboBoxesChangeOnEnterAndOnPicking) {
  Peer().OpenExplorer();
  std::shared_ptr<ICommandBar> bar = AddBar(1, L"Contract");
  std::shared_ptr<ICommandBarButton> button;
  std::shared_ptr<ICommandBarComboBox> combo;
  ASSERT_EQ(AddControl(*bar, office::kControlButton)->QueryButton(&button), S_OK);
  ASSERT_EQ(AddControl(*bar, office::kControlComboBox)->QueryComboBox(&combo), S_OK);
  std::vector<std::string> log;
  CNotingSink sink(&log, "s");
  std::uint32_t buttonCookie = kNotAdvised, comboCookie = kNotAdvised;
  ASSERT_EQ(button->Advise(&sink, &buttonCookie), S_OK);
  ASSERT_EQ(combo->Advise(&sink, &comboCookie), S_OK);

  Peer().PressButton(1, L"Contract", 1);
  EXPECT_EQ(log, (std::vector<std::string>{"s:click"}));
  EXPECT_TRUE(sink.bCancelDefaultGiven);
  ASSERT_NE(sink.spClicked, nullptr);
  EXPECT_EQ(sink.spClicked->SetCaption(L"clicked"), S_OK);
  std::wstring caption;
  EXPECT_EQ(button->GetCaption(&caption), S_OK);
  EXPECT_EQ(caption, L"clicked");  // the event brings the button itself

  for (const wchar_t* item : {L"one", L"two", L"three"}) {
    EXPECT_EQ(combo->AddItem(item), S_OK);
  }
  std::int32_t index = -1;
  std::wstring text;
  EXPECT_EQ(combo->GetListCount(&index), S_OK);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(combo->GetListItem(3, &text), S_OK);
  EXPECT_EQ(text, L"three");  // appended
  EXPECT_EQ(combo->SetListIndex(2), S_OK);
  EXPECT_EQ(combo->GetText(&text), S_OK);
  EXPECT_EQ(text, L"two");

  log.clear();
  Peer().PickItem(1, L"Contract", 2, 3);
  EXPECT_EQ(log, (std::vector<std::string>{"s:change"}));
  EXPECT_EQ(combo->GetListIndex(&index), S_OK);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(combo->GetText(&text), S_OK);
  EXPECT_EQ(text, L"three");
  Peer().TypeText(1, L"Contract", 2, L"typed");
  EXPECT_EQ(log, (std::vector<std::string>{"s:change", "s:change"}));
  EXPECT_EQ(combo->GetListIndex(&index), S_OK);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(combo->GetText(&text), S_OK);
  EXPECT_EQ(text, L"typed");

  EXPECT_EQ(combo->Clear(), S_OK);
  EXPECT_EQ(combo->GetListCount(&index), S_OK);
  EXPECT_EQ(index, 0);
  EXPECT_TRUE(FAILED(combo->GetListItem(1, &text)));
  EXPECT_EQ(button->Unadvise(buttonCookie), S_OK);
  EXPECT_EQ(combo->Unadvise(comboCookie), S_OK);
}

TEST_P(OutlookHostContractTest, QuitReachesTheApplicationAndItsItemsAndFoldersAnswer) {
  std::vector<std::string> log;
  CNotingSink sink(&log, "s");
  std::uint32_t cookie = kNotAdvised;
  ASSERT_EQ(App().Advise(&sink, &cookie), S_OK);
  Peer().Quit();
  EXPECT_EQ(log, (std::vector<std::string>{"s:quit"}));
  EXPECT_EQ(App().Unadvise(cookie), S_OK);
  EXPECT_EQ(App().Unadvise(cookie), kConnectNoConnection);

  std::shared_ptr<IOutlookItem> item;
  ASSERT_EQ(App().CreateItem(outlook::kMailItem, &item), S_OK);
  std::shared_ptr<IOutlookMailItem> mail;
  ASSERT_EQ(item->QueryMailItem(&mail), S_OK);
  EXPECT_EQ(mail->SetSubject(L"subject"), S_OK);
  EXPECT_EQ(mail->SetTo(L"someone@example.org"), S_OK);
  EXPECT_EQ(mail->Display(), S_OK);
  const std::int32_t kAppointmentItem = 1;
  ASSERT_EQ(App().CreateItem(kAppointmentItem, &item), S_OK);
  EXPECT_EQ(item->QueryMailItem(&mail), E_NOINTERFACE);
  EXPECT_EQ(mail, nullptr);

  std::shared_ptr<IOutlookNameSpace> session;
  ASSERT_EQ(App().GetSession(&session), S_OK);
  std::shared_ptr<IOutlookFolder> inbox;
  ASSERT_EQ(session->GetDefaultFolder(outlook::kFolderInbox, &inbox), S_OK);
  std::int32_t count = -1;
  EXPECT_EQ(inbox->GetItemCount(&count), S_OK);
  EXPECT_GE(count, 0);
  std::shared_ptr<IOutlookFolder> none;
  EXPECT_TRUE(FAILED(session->GetDefaultFolder(-5, &none)));
  EXPECT_EQ(none, nullptr);
}

namespace {

std::unique_ptr<IOutlookHostContractPeer> CreateSimHostPeer() {
  return std::make_unique<CSimHostPeer>();
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Simulated, OutlookHostContractTest,
                         ::testing::Values(OutlookHostContractTarget{"Simulated",
                                                                     &CreateSimHostPeer}),
                         OutlookHostContractTargetName);
