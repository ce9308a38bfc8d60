#include "tests/support/manual_clock.h"

class CManualWakeEvent : public IWakeEvent {
 public:
  explicit CManualWakeEvent(CManualClock& clock) : m_clock(clock) {}

  void Signal() override {
    {
      std::lock_guard<std::mutex> lock(m_clock.m_mutex);
      m_bSignalled = true;
    }
    m_clock.m_changed.notify_all();
  }

  bool Wait(std::uint32_t timeoutMs) override {
    std::unique_lock<std::mutex> lock(m_clock.m_mutex);
    const std::int64_t deadline = m_clock.m_nowMs + timeoutMs;
    ++m_clock.m_nWaiters;
    ++m_clock.m_nWaitsBegun;
    m_clock.m_changed.notify_all();
    m_clock.m_changed.wait(lock, [&] { return m_bSignalled || m_clock.m_nowMs >= deadline; });
    --m_clock.m_nWaiters;
    const bool signalled = m_bSignalled;
    m_bSignalled = false;
    return signalled;
  }

 private:
  CManualClock& m_clock;
  bool m_bSignalled = false;  // guarded by the clock's mutex
};

CManualClock::CManualClock(std::int64_t nowSeconds)
    : m_nowMs(nowSeconds * 1000), m_startMs(nowSeconds * 1000) {}

std::int64_t CManualClock::Now() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nowMs / 1000;
}

std::uint32_t CManualClock::TickCount() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<std::uint32_t>(m_nowMs - m_startMs);
}

std::int64_t CManualClock::PerformanceCounter() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bCounterAvailable ? m_nowMs * 1000 : 0;
}

std::int64_t CManualClock::PerformanceFrequency() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bCounterAvailable ? 1000000 : 0;
}

LocalDate CManualClock::Today() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_today;
}

std::unique_ptr<IWakeEvent> CManualClock::CreateWakeEvent() {
  return std::make_unique<CManualWakeEvent>(*this);
}

void CManualClock::Advance(std::chrono::milliseconds step) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nowMs += step.count();
  }
  m_changed.notify_all();
}

void CManualClock::SetToday(LocalDate date) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_today = date;
}

void CManualClock::SetPerformanceCounterAvailable(bool available) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bCounterAvailable = available;
}

int CManualClock::Waiters() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nWaiters;
}

bool CManualClock::WaitForWaiters(int count, std::chrono::milliseconds realTimeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, realTimeout, [&] { return m_nWaiters >= count; });
}

int CManualClock::WaitsBegun() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nWaitsBegun;
}

bool CManualClock::WaitForWaitsBegun(int count, std::chrono::milliseconds realTimeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, realTimeout, [&] { return m_nWaitsBegun >= count; });
}
