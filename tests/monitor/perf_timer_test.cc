#include "monitor/perf_timer.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/manual_clock.h"

namespace {

using namespace std::chrono_literals;

// A counter that also moves by a fixed cost on every reading, as a real one does.
class CCostlyCounterClock : public CManualClock {
 public:
  std::int64_t PerformanceCounter() override {
    m_nCost += 10;
    return CManualClock::PerformanceCounter() + m_nCost;
  }

 private:
  std::int64_t m_nCost = 0;
};

TEST(PerfTimerTest, MeasuresClockTimeInMilliseconds) {
  CManualClock clock;
  CPerfTimer timer(clock);
  EXPECT_EQ(timer.ElapsedMs(), 0.0);  // never started
  timer.Start();
  clock.Advance(1500ms);
  EXPECT_DOUBLE_EQ(timer.ElapsedMs(), 1500.0);
  EXPECT_DOUBLE_EQ(timer.ElapsedMs(), 1500.0);  // reading does not stop it for good
  clock.Advance(250ms);
  EXPECT_DOUBLE_EQ(timer.ElapsedMs(), 1750.0);
  timer.Start();
  EXPECT_DOUBLE_EQ(timer.ElapsedMs(), 0.0);
}

TEST(PerfTimerTest, LeavesOutTheCostOfReadingTheCounter) {
  CCostlyCounterClock clock;  // microsecond ticks; every reading costs 10 of them
  CPerfTimer timer(clock);
  timer.Start();
  EXPECT_DOUBLE_EQ(timer.ElapsedMs(), 0.0);
  timer.Start();
  clock.Advance(2ms);
  EXPECT_DOUBLE_EQ(timer.ElapsedMs(), 2.0);
}

TEST(PerfTimerTest, WithoutACounterReadsZero) {
  CManualClock clock;
  clock.SetPerformanceCounterAvailable(false);
  CPerfTimer timer(clock);
  timer.Start();
  clock.Advance(1500ms);
  EXPECT_EQ(timer.ElapsedMs(), 0.0);
}

}  // namespace
