// The simulated Outlook's main thread: work posted from other threads runs there in order,
// calls from elsewhere fail cleanly, and objects the add-in keeps outlive the simulation
// safely.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "tests/sim/sim_test_support.h"

namespace {

TEST(SimLoopTest, WorkPostedFromOtherThreadsRunsOnTheMainThreadInPostingOrder) {
  CSimulatedOutlook host;
  const std::thread::id main = std::this_thread::get_id();
  std::vector<int> ran;  // touched on the main thread only
  std::vector<std::thread> posters;
  for (int poster = 0; poster < 2; ++poster) {
    posters.emplace_back([&, poster] {
      for (int i = 0; i < 100; ++i) {
        host.outlook.Post([&, poster, i] {
          EXPECT_EQ(std::this_thread::get_id(), main);
          ran.push_back(poster * 1000 + i);
        });
      }
    });
  }
  for (std::thread& poster : posters) {
    poster.join();
  }
  host.outlook.Post([&] { host.outlook.Quit(); });
  host.outlook.Run();
  ASSERT_EQ(ran.size(), 200u);
  int next[2] = {0, 1000};
  for (int value : ran) {
    int& expected = next[value / 1000];
    EXPECT_EQ(value, expected);
    expected = value + 1;
  }
}

TEST(SimLoopTest, CallsFromAnotherThreadFailAsCOMWouldAndLeaveTheStateAlone) {
  CSimulatedOutlook host;
  host.outlook.OpenExplorer();
  std::shared_ptr<IOutlookApplication> app = host.outlook.Application();
  std::thread elsewhere([&] {
    std::wstring version;
    EXPECT_EQ(app->GetVersion(&version), sim_error::kWrongThread);
    EXPECT_EQ(host.outlook.CloseExplorer(1).hr, sim_error::kWrongThread);
    EXPECT_EQ(host.outlook.OpenExplorer(), 0);
    EXPECT_EQ(host.outlook.WindowSystem().SetThreadTimer(3000, [] {}), 0u);
    EXPECT_EQ(host.outlook.UserShell().ShowMessage(0, L"", L"", 0), 0);
    EXPECT_FALSE(host.outlook.Clipboard().Open());
  });
  elsewhere.join();
  EXPECT_EQ(host.outlook.Explorers().size(), 1u);
  EXPECT_TRUE(host.outlook.Explorers()[0].bOpen);
  EXPECT_EQ(host.outlook.Faults().CallCount("_Application.Version"), 0);
}

TEST(SimLoopTest, ObjectsKeptAfterOutlookHasGoneAnswerDisconnected) {
  std::shared_ptr<IOutlookApplication> app;
  std::shared_ptr<IOutlookExplorer> explorer;
  std::shared_ptr<ICommandBars> bars;
  std::shared_ptr<IAutomationObject> argument;
  std::vector<std::string> log;
  CNotingSink sink(&log, "s");
  {
    CSimulatedOutlook host;
    host.outlook.OpenExplorer();
    app = host.outlook.Application();
    explorer = host.outlook.Explorer(1);
    argument = host.outlook.ApplicationArgument();
    ASSERT_EQ(explorer->GetCommandBars(&bars), S_OK);
    std::uint32_t cookie = kNotAdvised;
    ASSERT_EQ(explorer->Advise(&sink, &cookie), S_OK);
    host.outlook.WindowSystem().SetThreadTimer(10, [&] { log.push_back("tick"); });
  }
  std::wstring version;
  EXPECT_EQ(app->GetVersion(&version), sim_error::kDisconnected);
  std::shared_ptr<ICommandBar> bar;
  EXPECT_EQ(bars->FindBar(L"Standard", &bar), sim_error::kDisconnected);
  EXPECT_EQ(explorer->Unadvise(1), sim_error::kDisconnected);
  std::shared_ptr<IOutlookApplication> again;
  EXPECT_EQ(argument->QueryOutlookApplication(&again), sim_error::kDisconnected);
  EXPECT_TRUE(log.empty());  // the window vanished without events, the timer with it
}

}  // namespace
