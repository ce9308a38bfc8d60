#include "monitor/thread_runner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <system_error>
#include <utility>

#include "common/logger.h"
#include "platform/clock.h"
#include "platform/thread_hooks.h"

namespace {

constexpr std::uint32_t kStopWaitMs = 5000;
// How often a stand-in event looks at the clock while it waits.
constexpr std::uint32_t kSliceMs = 100;

// Stands in for a wake event the clock could not make. Without it every pause would return at
// once and the worker would spin; this one waits in short real-time slices on a condition
// variable and measures the pause on the clock, so pauses keep their length (on a manual
// clock too) and a signal still ends them at once.
class CSlicedWakeEvent : public IWakeEvent {
 public:
  explicit CSlicedWakeEvent(IClock& clock) : m_clock(clock) {}

  void Signal() override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_bSignalled = true;
    }
    m_cv.notify_all();
  }

  bool Wait(std::uint32_t timeoutMs) override {
    const std::uint32_t start = m_clock.TickCount();
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      if (m_bSignalled) {
        m_bSignalled = false;
        return true;
      }
      const std::uint32_t passed = m_clock.TickCount() - start;
      if (passed >= timeoutMs) {
        return false;
      }
      m_cv.wait_for(lock, std::chrono::milliseconds(std::min(timeoutMs - passed, kSliceMs)));
    }
  }

 private:
  IClock& m_clock;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_bSignalled = false;
};

std::unique_ptr<IWakeEvent> MakeWakeEvent(IClock& clock, CLogger& log) {
  std::unique_ptr<IWakeEvent> event = clock.CreateWakeEvent();
  if (!event) {
    log.error("rn: no wake event, pausing on the clock instead");
    event = std::make_unique<CSlicedWakeEvent>(clock);
  }
  return event;
}

}  // namespace

CWorkerSignals::CWorkerSignals(IClock& clock, CLogger& log)
    : m_pWakeEvent(MakeWakeEvent(clock, log)), m_pEndEvent(MakeWakeEvent(clock, log)) {}

CWorkerSignals::~CWorkerSignals() = default;

void CWorkerSignals::RequestStop(bool wake) {
  m_bStop.store(true);
  if (wake) {
    m_pWakeEvent->Signal();
  }
}

void CWorkerSignals::Pause(std::uint32_t timeoutMs) {
  if (!IsStopRequested()) {
    m_pWakeEvent->Wait(timeoutMs);
  }
}

void CWorkerSignals::MarkEnded() {
  m_bEnded.store(true);
  m_pEndEvent->Signal();
}

bool CWorkerSignals::WaitUntilEnded(std::uint32_t timeoutMs) {
  if (!HasEnded()) {
    m_pEndEvent->Wait(timeoutMs);
  }
  return HasEnded();
}

CThreadRunner::CThreadRunner(IClock& clock, IThreadHooks& hooks, CLogger& log)
    : m_clock(clock), m_hooks(hooks), m_log(log) {}

CThreadRunner::~CThreadRunner() {
  std::thread thread;
  bool ended = true;
  {
    std::lock_guard<std::mutex> lock(m_cs);
    if (m_spSignals) {
      m_spSignals->RequestStop(true);
      thread = TakeWorker(ended);
    }
  }
  Release(std::move(thread), ended);
}

void CThreadRunner::RequestStop() {
  std::lock_guard<std::mutex> lock(m_cs);
  if (m_spSignals) {
    m_spSignals->RequestStop(false);
  }
}

void CThreadRunner::StartThread(std::shared_ptr<IThreadWork> work) {
  std::thread finished;
  bool ended = true;
  {
    std::lock_guard<std::mutex> lock(m_cs);
    if (m_spSignals) {
      if (!m_spSignals->HasEnded()) {
        return;  // a worker runs already
      }
      finished = TakeWorker(ended);  // one that ended by itself
    }
    auto signals = std::make_shared<CWorkerSignals>(m_clock, m_log);
    try {
      m_thread = std::thread(&CThreadRunner::ThreadProc, signals, std::move(work),
                             std::ref(m_hooks), std::ref(m_log));
      m_spSignals = std::move(signals);
    } catch (const std::system_error& e) {
      m_log.error("rn: no thread: %s", e.what());
    }
  }
  Release(std::move(finished), ended);
}

void CThreadRunner::ThreadProc(std::shared_ptr<CWorkerSignals> signals,
                               std::shared_ptr<IThreadWork> work, IThreadHooks& hooks,
                               CLogger& log) {
  hooks.OnWorkerStart();
  // An exception leaving a thread would end the whole host process; the worker ends instead.
  try {
    work->Run(*signals);
  } catch (const std::exception& e) {
    log.error("rn: worker failed: %s", e.what());
  } catch (...) {
    log.error("rn: worker failed");
  }
  work.reset();
  signals->MarkEnded();
  hooks.OnWorkerEnd();
}

void CThreadRunner::Stop() {
  std::shared_ptr<CWorkerSignals> signals;
  {
    std::lock_guard<std::mutex> lock(m_cs);
    signals = m_spSignals;
  }
  if (!signals) {
    return;
  }
  signals->RequestStop(true);
  signals->WaitUntilEnded(kStopWaitMs);

  std::thread thread;
  bool ended = true;
  {
    std::lock_guard<std::mutex> lock(m_cs);
    if (m_spSignals != signals) {
      return;  // released meanwhile by another Stop
    }
    thread = TakeWorker(ended);
  }
  Release(std::move(thread), ended);
}

bool CThreadRunner::IsRunning() const {
  std::lock_guard<std::mutex> lock(m_cs);
  return m_spSignals && !m_spSignals->HasEnded();
}

std::thread CThreadRunner::TakeWorker(bool& ended) {
  ended = m_spSignals->HasEnded();
  m_spSignals.reset();
  return std::move(m_thread);
}

void CThreadRunner::Release(std::thread thread, bool ended) {
  if (!thread.joinable()) {
    return;
  }
  if (ended) {
    thread.join();  // only the end hook is left to run
  } else {
    thread.detach();  // a late worker: it ends by itself at its next check
  }
}
