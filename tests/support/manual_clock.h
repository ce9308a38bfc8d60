// A clock that moves only when the test says so. Wake events made by it time out when the
// clock is advanced past their deadline, so a worker's pauses cost no real time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

class CManualClock : public IClock {
 public:
  // Starts at `nowSeconds` since 1970 with tick count 0.
  explicit CManualClock(std::int64_t nowSeconds = 1700000000);

  std::int64_t Now() override;
  std::uint32_t TickCount() override;
  std::int64_t PerformanceCounter() override;  // microseconds
  std::int64_t PerformanceFrequency() override;
  LocalDate Today() override;
  std::unique_ptr<IWakeEvent> CreateWakeEvent() override;

  // Moves time forward, waking every wait whose deadline has passed.
  void Advance(std::chrono::milliseconds step);
  void SetToday(LocalDate date);
  // Makes the performance counter read as absent (0), as on a machine without one.
  void SetPerformanceCounterAvailable(bool available);

  // Number of threads blocked in a Wait of one of this clock's events right now.
  int Waiters();
  // Blocks (in real time, at most `realTimeout`) until at least `count` threads wait.
  bool WaitForWaiters(int count, std::chrono::milliseconds realTimeout);
  // Number of Waits begun so far. Once it has grown, the new wait's deadline is fixed, so
  // a test can advance the clock without racing the waiting thread.
  int WaitsBegun();
  // Blocks (in real time, at most `realTimeout`) until at least `count` waits have begun.
  bool WaitForWaitsBegun(int count, std::chrono::milliseconds realTimeout);

 private:
  friend class CManualWakeEvent;

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::int64_t m_nowMs;
  std::int64_t m_startMs;
  LocalDate m_today{2026, 12, 8};
  bool m_bCounterAvailable = true;
  int m_nWaiters = 0;
  int m_nWaitsBegun = 0;
};
