#include "platform/posix/posix_clock.h"

#include <time.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

std::int64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

class CAutoResetEvent : public IWakeEvent {
 public:
  void Signal() override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_bSignalled = true;
    }
    m_cv.notify_one();
  }

  bool Wait(std::uint32_t timeoutMs) override {
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool signalled = m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                         [this] { return m_bSignalled; });
    m_bSignalled = false;
    return signalled;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_bSignalled = false;
};

}  // namespace

std::int64_t CPosixClock::Now() { return static_cast<std::int64_t>(time(nullptr)); }

std::uint32_t CPosixClock::TickCount() {
  return static_cast<std::uint32_t>(MonotonicNanoseconds() / 1000000);
}

std::int64_t CPosixClock::PerformanceCounter() { return MonotonicNanoseconds(); }

std::int64_t CPosixClock::PerformanceFrequency() { return 1000000000; }

LocalDate CPosixClock::Today() {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::unique_ptr<IWakeEvent> CPosixClock::CreateWakeEvent() {
  return std::make_unique<CAutoResetEvent>();
}
