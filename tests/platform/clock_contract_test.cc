// The clock contract, run against every clock: the platform's and the manual one tests use.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "tests/platform/native_adapters.h"
#include "tests/support/manual_clock.h"

namespace {

// Lets time pass for a clock while a test waits on it: real time for the POSIX clock, a
// background thread stepping the manual clock for the manual one.
struct ClockHarness {
  std::unique_ptr<IClock> clock;
  std::function<void()> startTimeFlow = [] {};
  std::function<void()> stopTimeFlow = [] {};
};

ClockHarness MakeNativeHarness() {
  return {MakeNativeClock()};
}

ClockHarness MakeManualHarness() {
  auto clock = std::make_unique<CManualClock>();
  CManualClock* manual = clock.get();
  auto running = std::make_shared<std::atomic<bool>>(false);
  auto flow = std::make_shared<std::thread>();
  ClockHarness harness{std::move(clock)};
  harness.startTimeFlow = [manual, running, flow] {
    running->store(true);
    *flow = std::thread([manual, running] {
      while (running->load()) {
        manual->Advance(std::chrono::milliseconds(5));
        std::this_thread::yield();
      }
    });
  };
  harness.stopTimeFlow = [running, flow] {
    running->store(false);
    if (flow->joinable()) {
      flow->join();
    }
  };
  return harness;
}

class ClockContractTest : public ::testing::TestWithParam<ClockHarness (*)()> {
 protected:
  void SetUp() override { m_harness = GetParam()(); }
  void TearDown() override { m_harness.stopTimeFlow(); }
  IClock& Clock() { return *m_harness.clock; }

  ClockHarness m_harness;
};

TEST_P(ClockContractTest, ReadingsAreSaneAndNeverGoBack) {
  const std::int64_t now = Clock().Now();
  EXPECT_GT(now, 1600000000);  // after 2020
  const std::uint32_t tick = Clock().TickCount();
  const std::int64_t counter = Clock().PerformanceCounter();
  EXPECT_GT(Clock().PerformanceFrequency(), 0);
  EXPECT_GE(Clock().Now(), now);
  EXPECT_GE(Clock().TickCount(), tick);
  EXPECT_GE(Clock().PerformanceCounter(), counter);

  const LocalDate today = Clock().Today();
  EXPECT_GE(today.nMonth, 1);
  EXPECT_LE(today.nMonth, 12);
  EXPECT_GE(today.nDay, 1);
  EXPECT_LE(today.nDay, 31);
}

TEST_P(ClockContractTest, WakeEventKeepsOneSignalForTheNextWaitOnly) {
  std::unique_ptr<IWakeEvent> event = Clock().CreateWakeEvent();
  ASSERT_NE(event, nullptr);
  event->Signal();
  event->Signal();  // auto-reset: two signals before a wait still release one wait
  EXPECT_TRUE(event->Wait(0));
  m_harness.startTimeFlow();
  EXPECT_FALSE(event->Wait(20));
}

TEST_P(ClockContractTest, SignalReleasesAWaiterOnAnotherThread) {
  std::unique_ptr<IWakeEvent> event = Clock().CreateWakeEvent();
  std::atomic<bool> woken{false};
  std::thread waiter([&] { woken = event->Wait(60000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  event->Signal();
  waiter.join();
  EXPECT_TRUE(woken.load());
}

TEST_P(ClockContractTest, WaitTimesOutWhenTheClockPassesTheDeadline) {
  std::unique_ptr<IWakeEvent> event = Clock().CreateWakeEvent();
  m_harness.startTimeFlow();
  const std::uint32_t before = Clock().TickCount();
  EXPECT_FALSE(event->Wait(50));
  EXPECT_GE(Clock().TickCount() - before, 50u);
}

std::string ClockName(const ::testing::TestParamInfo<ClockHarness (*)()>&) {
  return "Clock";
}

INSTANTIATE_TEST_SUITE_P(Native, ClockContractTest, ::testing::Values(&MakeNativeHarness),
                         ClockName);
INSTANTIATE_TEST_SUITE_P(Manual, ClockContractTest, ::testing::Values(&MakeManualHarness),
                         ClockName);

TEST(ManualClockTest, AdvancingReleasesOnlyTheWaitsWhoseDeadlinePassed) {
  CManualClock clock;
  std::unique_ptr<IWakeEvent> shortWait = clock.CreateWakeEvent();
  std::unique_ptr<IWakeEvent> longWait = clock.CreateWakeEvent();
  std::atomic<int> finished{0};
  std::thread a([&] {
    shortWait->Wait(2000);
    ++finished;
  });
  std::thread b([&] {
    longWait->Wait(5000);
    ++finished;
  });
  ASSERT_TRUE(clock.WaitForWaiters(2, std::chrono::seconds(10)));
  clock.Advance(std::chrono::milliseconds(2000));
  ASSERT_TRUE(clock.WaitForWaiters(1, std::chrono::seconds(10)));
  a.join();
  EXPECT_EQ(finished.load(), 1);
  EXPECT_EQ(clock.Waiters(), 1);
  clock.Advance(std::chrono::milliseconds(3000));
  b.join();
  EXPECT_EQ(finished.load(), 2);
}

}  // namespace
