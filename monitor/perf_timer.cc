#include "monitor/perf_timer.h"

#include "platform/clock.h"

namespace {

// The stopped form of a timer started at `start` and read at `now`: minus the elapsed ticks
// less the overhead, or 0 when no more than the overhead has passed.
std::int64_t Stopped(std::int64_t start, std::int64_t now, std::int64_t overhead) {
  const std::int64_t ticks = start - now;
  return ticks < overhead ? ticks - overhead : 0;
}

}  // namespace

CPerfTimer::CPerfTimer(IClock& clock) : m_clock(clock) {}

void CPerfTimer::Start() {
  if (m_nFrequency == 0) {
    // The counter's rate and the cost of reading it belong to this clock, so each timer
    // learns them from its own clock on its first start.
    const std::int64_t frequency = m_clock.PerformanceFrequency();
    m_nFrequency = frequency > 0 ? frequency : 1;
    m_nOverhead = 0;
    StartCounting();
    const std::int64_t start = m_nTicks;
    m_nOverhead = start > 0 ? Stopped(start, m_clock.PerformanceCounter(), 0) : 0;
  }
  StartCounting();
}

void CPerfTimer::StartCounting() {
  m_nTicks = 0;
  const std::int64_t now = m_clock.PerformanceCounter();
  Lock();
  m_nTicks = now;
  Unlock();
}

double CPerfTimer::ElapsedMs() {
  Lock();
  std::int64_t ticks = m_nTicks;
  Unlock();
  if (ticks > 0) {
    ticks = Stopped(ticks, m_clock.PerformanceCounter(), m_nOverhead);
  }
  return m_nFrequency > 0 ? static_cast<double>(-ticks) * 1000.0 / m_nFrequency : 0.0;
}
