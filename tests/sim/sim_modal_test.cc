// Message boxes of the simulated Outlook: modal to their owner, a nested loop in which work
// and timers go on, answers checked against the box's buttons, and what observers hear.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/sim/sim_test_support.h"

namespace {

using std::chrono::milliseconds;

constexpr std::uint32_t kOkCancel = 1;  // MB_OKCANCEL
constexpr int kCancel = 2;              // IDCANCEL

// Notes every observation as a short line.
class CNotingObserver : public ISimObserver {
 public:
  std::vector<std::wstring> lines;

  void OnMessageBoxShown(const SimMessageBox& box) override {
    lines.push_back(L"shown " + box.strTitle + L" of " + std::to_wstring(box.nExplorer));
  }
  void OnMessageBoxClosed(const SimMessageBox& box, int answer) override {
    lines.push_back(L"closed " + box.strTitle + L" " + std::to_wstring(answer));
  }
  void OnAddressOpened(const std::wstring& address) override {
    lines.push_back(L"open " + address);
  }
  void OnMailDisplayed(const SimMail& mail) override {
    lines.push_back(L"mail " + mail.strSubject + L" to " + mail.strTo);
  }
  void OnCursorChanged(bool busy) override { lines.push_back(busy ? L"busy" : L"idle"); }
  void OnExplorerOpened(int explorer) override {
    lines.push_back(L"opened " + std::to_wstring(explorer));
  }
  void OnExplorerClosed(int explorer) override {
    lines.push_back(L"closed " + std::to_wstring(explorer));
  }
  void OnTimerFired(TimerId) override { lines.push_back(L"tick"); }
};

std::vector<SimBarState> OneButtonBar() {
  return {SimBar(L"Zenlet", {SimButton(L"Go")})};
}

TEST(SimModalTest, AnOpenBoxDisablesItsOwnerOnlyAndTakesOnlyTheAnswersItOffers) {
  CSimulatedOutlook host;
  SimExplorerSetup setup;
  setup.bars = OneButtonBar();
  host.outlook.OpenExplorer(setup);
  host.outlook.OpenExplorer(setup);
  const WindowHandle owner = host.outlook.Explorers()[0].window;
  std::vector<std::string> log;
  CNotingSink second(&log, "second");
  AdviseControl(*ControlAt(host.outlook, 2, L"Zenlet", 1), &second);

  host.outlook.SetMessageBoxPolicy([&](const SimMessageBox& box) -> std::optional<int> {
    EXPECT_EQ(box.nExplorer, 1);
    EXPECT_EQ(host.outlook.WindowSystem().GetActiveWindow(), box.window);
    const SimResult refused = host.outlook.PressButton(1, SimControlPath::At(L"Zenlet", 1));
    EXPECT_EQ(refused.hr, sim_error::kWindowDisabled);
    EXPECT_NE(refused.strError.find("\"Sign in\" is open"), std::string::npos);
    EXPECT_EQ(host.outlook.CloseExplorer(1).hr, sim_error::kWindowDisabled);
    EXPECT_FALSE(host.outlook.Explorers()[0].bEnabled);
    EXPECT_TRUE(host.outlook.PressButton(2, SimControlPath::At(L"Zenlet", 1)).Ok());
    EXPECT_EQ(host.outlook.AnswerMessageBox(box.nId, 6).hr, E_INVALIDARG);  // no Yes button
    EXPECT_TRUE(host.outlook.AnswerMessageBox(box.nId, kCancel).Ok());
    EXPECT_EQ(host.outlook.AnswerMessageBox(box.nId, kCancel).hr, E_INVALIDARG);  // answered
    return std::nullopt;
  });
  EXPECT_EQ(host.outlook.UserShell().ShowMessage(owner, L"Text", L"Sign in", kOkCancel), kCancel);
  EXPECT_EQ(log, (std::vector<std::string>{"second:click"}));
  EXPECT_TRUE(host.outlook.Explorers()[0].bEnabled);
  EXPECT_EQ(host.outlook.WindowSystem().GetActiveWindow(), owner);
  EXPECT_TRUE(host.outlook.OpenMessageBoxes().empty());
  ASSERT_EQ(host.outlook.MessageBoxes().size(), 1u);
  EXPECT_EQ(host.outlook.MessageBoxes()[0].nStyle, kOkCancel);
}

TEST(SimModalTest, TheTimerGoesOnFiringInsideABoxUntilSomeoneAnswersIt) {
  CSimulatedOutlook host;
  host.outlook.OpenExplorer();
  std::atomic<int> ticks{0};
  const std::thread::id main = std::this_thread::get_id();
  ASSERT_NE(host.outlook.WindowSystem().SetThreadTimer(3000,
                                                       [&] {
                                                         EXPECT_EQ(std::this_thread::get_id(),
                                                                   main);
                                                         ++ticks;
                                                       }),
            0u);
  host.outlook.SetMessageBoxPolicy(nullptr);  // boxes wait for an answer
  // The user takes six seconds over the box, then answers it from elsewhere.
  std::thread user([&] {
    ASSERT_TRUE(host.clock.WaitForWaitsBegun(1, std::chrono::seconds(10)));
    host.clock.Advance(milliseconds(6000));
    for (int i = 0; i < 10000 && ticks.load() == 0; ++i) {
      std::this_thread::sleep_for(milliseconds(1));
    }
    host.outlook.Post([&] { EXPECT_TRUE(host.outlook.AnswerMessageBox().Ok()); });
  });
  const int answer = host.outlook.UserShell().ShowMessage(host.outlook.Explorers()[0].window,
                                                          L"Approve the login", L"Zenlet", 0);
  user.join();
  EXPECT_EQ(answer, kMessageAnswerOk);
  EXPECT_EQ(ticks.load(), 1);  // six seconds of ticks missed while waiting merge into one
}

TEST(SimModalTest, NestedBoxesCloseInnerFirstWhicheverIsAnsweredFirst) {
  CSimulatedOutlook host;
  host.outlook.OpenExplorer();
  host.outlook.OpenExplorer();
  CNotingObserver observer;
  host.outlook.AddObserver(&observer);
  IUserShell& shell = host.outlook.UserShell();
  const WindowHandle first = host.outlook.Explorers()[0].window;
  host.outlook.SetMessageBoxPolicy([&](const SimMessageBox& box) -> std::optional<int> {
    if (box.strTitle == L"outer") {
      EXPECT_TRUE(host.outlook.AnswerMessageBox(box.nId, kMessageAnswerOk).Ok());
      // A box of the outer box's own: owned through it by explorer 1.
      host.outlook.Post([&] { EXPECT_TRUE(host.outlook.AnswerMessageBox().Ok()); });
      EXPECT_EQ(shell.ShowMessage(box.window, L"", L"inner", 0), kMessageAnswerOk);
    }
    return std::nullopt;
  });
  EXPECT_EQ(shell.ShowMessage(first, L"", L"outer", 0), kMessageAnswerOk);
  EXPECT_EQ(observer.lines, (std::vector<std::wstring>{L"shown outer of 1", L"shown inner of 1",
                                                       L"closed inner 1", L"closed outer 1"}));
}

TEST(SimModalTest, QuitClosesOpenBoxesWithoutAnAnswerAndEndsTheLoop) {
  CSimulatedOutlook host;
  host.outlook.SetMessageBoxPolicy([&](const SimMessageBox&) -> std::optional<int> {
    host.outlook.Quit();
    return std::nullopt;
  });
  int answer = -1;
  host.outlook.Post([&] { answer = host.outlook.UserShell().ShowMessage(0, L"", L"box", 0); });
  host.outlook.Run();
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(host.outlook.AnswerMessageBox().hr, E_INVALIDARG);  // none is waiting
}

TEST(SimModalTest, ObserversHearWhatTheUserSeesAndTheReadbackKeepsIt) {
  CSimulatedOutlook host;
  CNotingObserver observer;
  host.outlook.AddObserver(&observer);
  host.outlook.OpenExplorer();
  IUserShell& shell = host.outlook.UserShell();
  const CursorHandle arrow = shell.ShowWaitCursor();
  EXPECT_TRUE(host.outlook.CursorBusy());
  const CursorHandle wait = shell.ShowWaitCursor();  // nested: no change to tell
  shell.RestoreCursor(wait);
  shell.RestoreCursor(arrow);
  EXPECT_FALSE(host.outlook.CursorBusy());
  EXPECT_TRUE(shell.OpenAddress(L"http://www.example.org/"));
  EXPECT_FALSE(shell.OpenAddress(L""));
  std::shared_ptr<IOutlookItem> item;
  std::shared_ptr<IOutlookMailItem> mail;
  ASSERT_EQ(host.outlook.Application()->CreateItem(outlook::kMailItem, &item), S_OK);
  ASSERT_EQ(item->QueryMailItem(&mail), S_OK);
  mail->SetSubject(L"Hello");
  mail->SetTo(L"someone@example.org");
  ASSERT_EQ(mail->Display(), S_OK);
  host.outlook.WindowSystem().SetThreadTimer(100, [] {});
  host.Advance(milliseconds(100));
  host.outlook.RemoveObserver(&observer);
  host.Advance(milliseconds(100));

  EXPECT_EQ(observer.lines, (std::vector<std::wstring>{
                                L"opened 1", L"busy", L"idle", L"open http://www.example.org/",
                                L"mail Hello to someone@example.org", L"tick"}));
  EXPECT_EQ(host.outlook.OpenedAddresses(), std::vector<std::wstring>{L"http://www.example.org/"});
  ASSERT_EQ(host.outlook.DisplayedMails().size(), 1u);
  EXPECT_EQ(host.outlook.DisplayedMails()[0].strTo, L"someone@example.org");
}

// The windows, boxes and timers of a system beside the simulation, as the COM test Outlook
// has them: each explorer window made and destroyed there, its timers fired by "timer".
class CFakeSystemWindows : public ISimSystemWindows {
 public:
  WindowHandle CreateExplorerWindow(int explorer) override {
    return explorer == 3 ? 0 : static_cast<WindowHandle>(0x5000 + explorer);
  }
  void DestroyExplorerWindow(WindowHandle window) override { destroyed.push_back(window); }
  int FireThreadTimers() override { return ++fired; }

  std::vector<WindowHandle> destroyed;
  int fired = 0;
};

TEST(SimModalTest, TheSystemsOwnBoxesAndWindowsJoinTheSimulationsBoxesAndExplorers) {
  CFakeSystemWindows system;
  SimOutlookOptions options;
  options.pSystemWindows = &system;
  CSimulatedOutlook host(options);
  CNotingObserver observer;
  host.outlook.AddObserver(&observer);
  host.outlook.SetMessageBoxPolicy(nullptr);  // boxes wait for the driver
  EXPECT_EQ(host.outlook.OpenExplorer(), 1);
  EXPECT_EQ(host.outlook.OpenExplorer(), 2);
  EXPECT_EQ(host.outlook.Explorers()[1].window, 0x5002u);

  std::vector<int> closedWith;
  const int box = host.outlook.AddSystemMessageBox(
      0x5002, 0x7000, L"Title", L"Text", 0x40, [&](int answer) { closedWith.push_back(answer); });
  ASSERT_EQ(host.outlook.OpenMessageBoxes().size(), 1u);
  EXPECT_FALSE(host.outlook.Explorers()[1].bEnabled);
  EXPECT_EQ(host.outlook.WindowSystem().GetActiveWindow(), 0x7000u);
  EXPECT_TRUE(host.outlook.AnswerMessageBox().Ok());
  EXPECT_EQ(closedWith, std::vector<int>{kMessageAnswerOk});
  EXPECT_FALSE(host.outlook.AnswerMessageBox(box).Ok());  // answered already
  host.outlook.RemoveSystemMessageBox(box, 0);
  EXPECT_TRUE(host.outlook.OpenMessageBoxes().empty());
  EXPECT_TRUE(host.outlook.Explorers()[1].bEnabled);
  EXPECT_EQ(host.outlook.WindowSystem().GetActiveWindow(), 0x5002u);

  // Under the answer-at-once policy a system box is ended as it opens.
  host.outlook.SetMessageBoxPolicy(SimAnswerAtOnce(kCancel));
  host.outlook.AddSystemMessageBox(0, 0x7001, L"Other", L"", kOkCancel,
                                   [&](int answer) { closedWith.push_back(answer); });
  host.outlook.RemoveSystemMessageBox(2, 0);
  EXPECT_EQ(closedWith, (std::vector<int>{kMessageAnswerOk, kCancel}));

  EXPECT_EQ(host.outlook.FireTimers(), 1);
  host.outlook.NotifyTimerFired(9);
  EXPECT_EQ(host.outlook.OpenExplorer(), 0);  // the system made no window for it
  EXPECT_TRUE(host.outlook.CloseExplorer(1).Ok());
  EXPECT_EQ(system.destroyed, std::vector<WindowHandle>{0x5001});
  EXPECT_EQ(observer.lines, (std::vector<std::wstring>{
                                L"opened 1", L"opened 2", L"shown Title of 2", L"closed Title 1",
                                L"shown Other of 0", L"closed Other 2", L"tick", L"closed 1"}));
}

}  // namespace
