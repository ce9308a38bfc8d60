// A small worker-thread class: at most one background thread at a time, started and stopped
// from the UI thread. The worker pauses on a wake event of the clock seam, so a stop ends a
// pause at once and tests drive the pauses with a manual clock.
//
// Lifetime: everything a worker touches lives in objects it shares with the runner, its
// CWorkerSignals and its IThreadWork, never in the runner itself. A Stop that times out lets
// the worker go and leaves the runner idle; the late worker finds its stop flag set at its
// next check and ends there, even when the runner has been destroyed meanwhile. What the work
// refers to beyond that (the REST client, the platform's seams, the logger) must outlive the
// worker: in the add-in these are the process's own objects.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "common/hresult.h"

class CLogger;
class IClock;
class IThreadHooks;
class IWakeEvent;

// The stop flag and the wake event of one worker thread, shared by the thread and the runner
// that started it. Each thread gets its own, so a late worker never sees the flag of a thread
// started after it.
class CWorkerSignals {
 public:
  CWorkerSignals(IClock& clock, CLogger& log);
  CWorkerSignals(const CWorkerSignals&) = delete;
  CWorkerSignals& operator=(const CWorkerSignals&) = delete;
  ~CWorkerSignals();

  bool IsStopRequested() const { return m_bStop.load(); }
  // Sets the stop flag; with `wake`, also ends the worker's current or next pause at once.
  void RequestStop(bool wake);
  // Pauses for `timeoutMs` of the clock's time, or until a stop with wake is requested.
  void Pause(std::uint32_t timeoutMs);

  bool HasEnded() const { return m_bEnded.load(); }
  // Called by the worker once its work is over; only its end hook is left to run.
  void MarkEnded();
  // Waits at most `timeoutMs` of the clock's time for MarkEnded. True when it came.
  bool WaitUntilEnded(std::uint32_t timeoutMs);

 private:
  std::atomic<bool> m_bStop{false};
  std::atomic<bool> m_bEnded{false};
  std::unique_ptr<IWakeEvent> m_pWakeEvent;
  std::unique_ptr<IWakeEvent> m_pEndEvent;
};

// The body of a worker thread.
class IThreadWork {
 public:
  virtual ~IThreadWork() = default;
  // Runs on the worker thread. Checks `signals` after every pause and every step that may
  // take long, and returns soon once a stop is requested.
  virtual void Run(CWorkerSignals& signals) = 0;
};

class CThreadRunner {
 public:
  CThreadRunner(const CThreadRunner&) = delete;
  CThreadRunner& operator=(const CThreadRunner&) = delete;
  // Does not wait for the worker; the owner calls Stop first. A worker still running is asked
  // to stop and let go, as after a Stop that timed out.
  virtual ~CThreadRunner();

  // Sets the worker's stop flag without waking it; it ends at its next check.
  virtual void RequestStop();
  // Starts the worker unless one runs. Reports no failure: when no thread can be made the
  // runner stays idle and the next Start tries again.
  virtual HRESULT Start() = 0;

  // Asks the worker to stop, wakes it and waits at most 5000 ms of the clock's time for it to
  // end. Whether or not it ended in time, the runner is idle afterwards and can be started
  // again with a fresh thread.
  void Stop();
  // A worker this runner started has not ended yet and has not been let go by Stop.
  bool IsRunning() const;

 protected:
  // The collaborators must outlive every worker the runner starts (see above).
  CThreadRunner(IClock& clock, IThreadHooks& hooks, CLogger& log);

  // Starts a worker running `work` unless one runs already.
  void StartThread(std::shared_ptr<IThreadWork> work);

 private:
  // The worker's entry: the platform's per-thread set-up around the work. The worker holds
  // its own shares of the signals and the work, which keep them alive after the runner.
  static void ThreadProc(std::shared_ptr<CWorkerSignals> signals, std::shared_ptr<IThreadWork> work,
                         IThreadHooks& hooks, CLogger& log);
  // Takes the thread out of the runner and leaves it idle; needs m_cs held. `ended` tells
  // whether the worker had finished.
  std::thread TakeWorker(bool& ended);
  // Joins a thread whose worker has finished; lets go of one still running.
  static void Release(std::thread thread, bool ended);

  IClock& m_clock;
  IThreadHooks& m_hooks;
  CLogger& m_log;
  // Guards the two fields below while a thread is made or released; never held while
  // waiting for the worker.
  mutable std::mutex m_cs;
  std::shared_ptr<CWorkerSignals> m_spSignals;  // null while idle
  std::thread m_thread;
};
