#include "platform/sim/sim_message_loop.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace {

// The system's USER_TIMER_MINIMUM.
constexpr std::uint32_t kMinimumPeriodMs = 10;
// The longest the loop sleeps between looks at its queue and timers.
constexpr std::int64_t kLongestWaitMs = 1000;

}  // namespace

CSimMessageLoop::CSimMessageLoop(IClock& clock)
    : m_clock(clock),
      m_loopThread(std::this_thread::get_id()),
      m_pWake(clock.CreateWakeEvent()),
      m_nLastTick(clock.TickCount()) {}

CSimMessageLoop::~CSimMessageLoop() = default;

bool CSimMessageLoop::IsLoopThread() const {
  return std::this_thread::get_id() == m_loopThread;
}

void CSimMessageLoop::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_bShutDown || !task) {
    return;
  }
  m_queue.push_back(std::move(task));
  Signal();
}

void CSimMessageLoop::Quit() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bQuit = true;
  Signal();
}

bool CSimMessageLoop::QuitRequested() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bQuit;
}

// Called with m_mutex held, so that Shutdown cannot free the event under it.
void CSimMessageLoop::Signal() {
  if (m_pWake) {
    m_pWake->Signal();
  } else {
    m_posted.notify_all();
  }
}

int CSimMessageLoop::RunPending() {
  int ran = 0;
  if (!IsLoopThread()) {
    return ran;
  }
  while (RunOneTask() || RunOneDueTimer()) {
    ++ran;
  }
  return ran;
}

void CSimMessageLoop::RunUntil(const std::function<bool()>& done) {
  if (!IsLoopThread()) {
    return;
  }
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_bQuit || m_bShutDown) {
        return;
      }
    }
    if (done()) {
      return;
    }
    if (!RunOneTask() && !RunOneDueTimer()) {
      Wait();
    }
  }
}

void CSimMessageLoop::Run() {
  RunUntil([] { return false; });
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bQuit = false;
}

bool CSimMessageLoop::RunOneTask() {
  std::function<void()> task;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_queue.empty() || m_bShutDown) {
      return false;
    }
    task = std::move(m_queue.front());
    m_queue.pop_front();
  }
  task();
  return true;
}

bool CSimMessageLoop::RunOneDueTimer() {
  if (m_timers.empty()) {
    return false;
  }
  const std::int64_t now = NowMs();
  auto due = std::min_element(m_timers.begin(), m_timers.end(), [](const auto& a, const auto& b) {
    return a.second.nDueMs < b.second.nDueMs;
  });
  if (due->second.nDueMs > now) {
    return false;
  }
  RunTimer(due->first);
  return true;
}

void CSimMessageLoop::RunTimer(TimerId id) {
  auto it = m_timers.find(id);
  if (it == m_timers.end()) {
    return;
  }
  // Ticks missed while the thread was busy merge into this one.
  it->second.nDueMs = NowMs() + it->second.nPeriodMs;
  const std::shared_ptr<std::function<void()>> callback = it->second.spCallback;
  (*callback)();
  if (m_timerHook) {
    const std::function<void(TimerId)> hook = m_timerHook;
    hook(id);
  }
}

void CSimMessageLoop::Wait() {
  std::int64_t timeout = kLongestWaitMs;
  if (!m_timers.empty()) {
    const std::int64_t now = NowMs();
    for (const auto& [id, timer] : m_timers) {
      timeout = std::min(timeout, std::max<std::int64_t>(0, timer.nDueMs - now));
    }
  }
  IWakeEvent* wake = nullptr;
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_queue.empty() || m_bQuit || m_bShutDown) {
      return;
    }
    if (!m_pWake) {
      m_posted.wait_for(lock, std::chrono::milliseconds(timeout),
                        [&] { return !m_queue.empty() || m_bQuit; });
      return;
    }
    wake = m_pWake.get();
  }
  // A Post between the look above and this wait leaves the event signalled, so it is not
  // missed. Only Shutdown, on this thread, frees the event.
  wake->Wait(static_cast<std::uint32_t>(timeout));
}

TimerId CSimMessageLoop::SetTimer(std::uint32_t periodMs, std::function<void()> callback) {
  if (!IsLoopThread() || !callback) {
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bShutDown) {
      return 0;
    }
  }
  const TimerId id = m_nNextTimer++;
  Timer timer;
  timer.nPeriodMs = std::max(periodMs, kMinimumPeriodMs);
  timer.nDueMs = NowMs() + timer.nPeriodMs;
  timer.spCallback = std::make_shared<std::function<void()>>(std::move(callback));
  m_timers.emplace(id, std::move(timer));
  return id;
}

bool CSimMessageLoop::KillTimer(TimerId id) {
  return IsLoopThread() && m_timers.erase(id) > 0;
}

bool CSimMessageLoop::IsTimer(TimerId id) const {
  return IsLoopThread() && m_timers.count(id) > 0;
}

int CSimMessageLoop::TimerCount() const {
  return IsLoopThread() ? static_cast<int>(m_timers.size()) : 0;
}

bool CSimMessageLoop::FireTimerNow(TimerId id) {
  if (!IsTimer(id)) {
    return false;
  }
  RunTimer(id);
  return true;
}

int CSimMessageLoop::FireTimersNow() {
  if (!IsLoopThread()) {
    return 0;
  }
  std::vector<TimerId> ids;
  for (const auto& [id, timer] : m_timers) {
    ids.push_back(id);
  }
  int fired = 0;
  for (TimerId id : ids) {
    // A callback may have killed a timer that was still to come.
    if (FireTimerNow(id)) {
      ++fired;
    }
  }
  return fired;
}

void CSimMessageLoop::SetTimerHook(std::function<void(TimerId)> hook) {
  m_timerHook = std::move(hook);
}

std::int64_t CSimMessageLoop::NowMs() {
  if (!IsLoopThread()) {
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bShutDown) {
      return m_nNowMs;
    }
  }
  const std::uint32_t tick = m_clock.TickCount();
  m_nNowMs += static_cast<std::uint32_t>(tick - m_nLastTick);  // wraps harmlessly
  m_nLastTick = tick;
  return m_nNowMs;
}

void CSimMessageLoop::Shutdown() {
  std::deque<std::function<void()>> dropped;
  std::unique_ptr<IWakeEvent> wake;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bShutDown = true;
    dropped.swap(m_queue);
    wake = std::move(m_pWake);
  }
  m_timers.clear();
  m_timerHook = nullptr;
}
