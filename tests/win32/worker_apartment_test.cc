// The add-in's worker thread on Windows: a single-threaded COM apartment of its own, entered
// and left by the platform's thread hooks, and a stop that keeps the runner's bound even when
// the worker is deaf to it.
#include <windows.h>
// After windows.h, whose types they need.
#include <gtest/gtest.h>
#include <objbase.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "common/logger.h"
#include "monitor/thread_runner.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_thread_hooks.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes the apartment it runs in, then pauses until stopped, or, when deaf, sleeps on
// regardless for `deafMs`.
class CApartmentProbe : public IThreadWork {
 public:
  explicit CApartmentProbe(DWORD deafMs) : m_nDeafMs(deafMs) {}

  void Run(CWorkerSignals& signals) override {
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    m_bSta = SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_STA;
    m_bStarted = true;
    if (m_nDeafMs > 0) {
      Sleep(m_nDeafMs);
    }
    while (!signals.IsStopRequested()) {
      signals.Pause(60000);
    }
    m_bEnded = true;
  }

  std::atomic<bool> m_bStarted{false};
  std::atomic<bool> m_bSta{false};
  std::atomic<bool> m_bEnded{false};

 private:
  const DWORD m_nDeafMs;
};

class CProbeRunner : public CThreadRunner {
 public:
  CProbeRunner(IClock& clock, IThreadHooks& hooks, CLogger& log,
               std::shared_ptr<CApartmentProbe> probe)
      : CThreadRunner(clock, hooks, log), m_spProbe(std::move(probe)) {}
  HRESULT Start() override {
    StartThread(m_spProbe);
    return S_OK;
  }

 private:
  std::shared_ptr<CApartmentProbe> m_spProbe;
};

double StopMs(CThreadRunner& runner) {
  const Clock::time_point before = Clock::now();
  runner.Stop();
  return std::chrono::duration<double, std::milli>(Clock::now() - before).count();
}

void AwaitStart(const CApartmentProbe& probe) {
  for (int i = 0; i < 500 && !probe.m_bStarted; ++i) {
    Sleep(10);
  }
  ASSERT_TRUE(probe.m_bStarted);
}

TEST(WorkerApartmentTest, TheWorkerIsAnApartmentOfItsOwnAndStopsWithinTheRunnersBound) {
  CWin32Clock clock;
  CWin32ThreadHooks hooks;
  CLogger log("fbr", nullptr);
  // The test's own thread is Outlook's: the main apartment is its.
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);

  auto listening = std::make_shared<CApartmentProbe>(0);
  CProbeRunner runner(clock, hooks, log, listening);
  runner.Start();
  AwaitStart(*listening);
  EXPECT_TRUE(listening->m_bSta.load());
  EXPECT_LT(StopMs(runner), 1000.0);  // a pause ends at once
  EXPECT_TRUE(listening->m_bEnded.load());
  EXPECT_FALSE(runner.IsRunning());

  // A worker stuck in a step (a request that hangs) is let go after 5000 ms, not waited for.
  auto deaf = std::make_shared<CApartmentProbe>(8000);
  CProbeRunner stuck(clock, hooks, log, deaf);
  stuck.Start();
  AwaitStart(*deaf);
  const double waited = StopMs(stuck);
  EXPECT_GE(waited, 4900.0);
  EXPECT_LT(waited, 6500.0);
  EXPECT_FALSE(stuck.IsRunning());
  EXPECT_FALSE(deaf->m_bEnded.load());
  // The late worker finds its stop flag and ends by itself.
  for (int i = 0; i < 600 && !deaf->m_bEnded; ++i) {
    Sleep(10);
  }
  EXPECT_TRUE(deaf->m_bEnded.load());
  CoUninitialize();
}

}  // namespace
