// The window system contract, run against every implementation this build has: the
// simulated Outlook's (the Windows adapter joins with its own harness).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/simulated_outlook.h"

namespace {

// A window system with its UI thread: time can pass while the thread is busy, and the thread
// can return to its message loop to dispatch what fell due.
struct WindowSystemHarness {
  std::shared_ptr<void> spOwner;
  IWindowSystem* pWindows = nullptr;
  std::function<void(std::chrono::milliseconds)> passTimeBusy;
  std::function<void()> dispatch;
};

WindowSystemHarness MakeSimulated() {
  auto owner = std::make_shared<CSimulatedOutlook>();
  CSimulatedOutlook* o = owner.get();
  return {owner, &owner->outlook.WindowSystem(), [o](auto step) { o->clock.Advance(step); },
          [o] { o->outlook.RunPending(); }};
}

class WindowSystemContractTest : public ::testing::TestWithParam<WindowSystemHarness (*)()> {
 protected:
  void SetUp() override { m_harness = GetParam()(); }
  IWindowSystem& Windows() { return *m_harness.pWindows; }
  void PassAndDispatch(std::chrono::milliseconds step) {
    m_harness.passTimeBusy(step);
    m_harness.dispatch();
  }

  WindowSystemHarness m_harness;
};

using std::chrono::milliseconds;

TEST_P(WindowSystemContractTest, ATimerTicksOnTheUiThreadEveryPeriodUntilKilled) {
  std::vector<std::thread::id> ticks;
  const TimerId id =
      Windows().SetThreadTimer(3000, [&] { ticks.push_back(std::this_thread::get_id()); });
  ASSERT_NE(id, 0u);
  PassAndDispatch(milliseconds(2900));
  EXPECT_TRUE(ticks.empty());
  PassAndDispatch(milliseconds(100));
  PassAndDispatch(milliseconds(3000));
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_EQ(ticks[0], std::this_thread::get_id());

  EXPECT_TRUE(Windows().KillThreadTimer(id));
  EXPECT_FALSE(Windows().KillThreadTimer(id));
  EXPECT_FALSE(Windows().KillThreadTimer(id + 1000));
  PassAndDispatch(milliseconds(9000));
  EXPECT_EQ(ticks.size(), 2u);
}

TEST_P(WindowSystemContractTest, TicksMissedWhileBusyMergeAndACallbackMayKillItsOwnTimer) {
  int merged = 0;
  const TimerId busy = Windows().SetThreadTimer(100, [&] { ++merged; });
  TimerId self = 0;
  int once = 0;
  self = Windows().SetThreadTimer(100, [&] {
    ++once;
    EXPECT_TRUE(Windows().KillThreadTimer(self));
  });
  m_harness.passTimeBusy(milliseconds(1000));  // ten periods while the thread does not look
  m_harness.dispatch();
  EXPECT_EQ(merged, 1);
  EXPECT_EQ(once, 1);
  PassAndDispatch(milliseconds(100));
  EXPECT_EQ(merged, 2);
  EXPECT_EQ(once, 1);
  Windows().KillThreadTimer(busy);
}

TEST_P(WindowSystemContractTest, TheSystemVersionIsAWindowsVersionAndNoWindowIsActiveAtFirst) {
  const OsVersion version = Windows().GetOsVersion();
  EXPECT_GE(version.nMajor, 5u);
  EXPECT_EQ(Windows().GetActiveWindow(), 0u);
}

std::string HarnessName(const ::testing::TestParamInfo<WindowSystemHarness (*)()>&) {
  return "WindowSystem";
}

INSTANTIATE_TEST_SUITE_P(Simulated, WindowSystemContractTest, ::testing::Values(&MakeSimulated),
                         HarnessName);

}  // namespace
