// The main thread's message loop of the simulated Outlook. Every event, driver action and
// thread timer runs on the thread that made the loop; other threads hand work to it with
// Post. Modal message boxes run nested loops (RunUntil) in which posted work and timers go on
// as they do in the system's own modal loops.
//
// Time is the clock seam's: timers fall due by its tick count and the loop's waits are its
// wake events, so with a manual clock nothing waits in real time: advancing the clock wakes
// the loop, and RunPending runs what has fallen due.
//
// Threading: Post, Quit and IsLoopThread from any thread; everything else on the loop's
// thread only (elsewhere it does nothing and answers 0 or false).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "platform/window_system.h"

class CSimMessageLoop {
 public:
  // The calling thread becomes the loop's thread.
  explicit CSimMessageLoop(IClock& clock);
  ~CSimMessageLoop();
  CSimMessageLoop(const CSimMessageLoop&) = delete;
  CSimMessageLoop& operator=(const CSimMessageLoop&) = delete;

  bool IsLoopThread() const;

  // Queues `task` to run on the loop's thread, after the work queued before it. Work posted
  // after Shutdown is dropped.
  void Post(std::function<void()> task);

  // Asks the outermost Run to return; the modal loops open inside it end first.
  void Quit();
  bool QuitRequested() const;

  // Runs the posted work and the timers that are due until nothing more is ready, without
  // waiting. Returns how many tasks and timer callbacks ran.
  int RunPending();
  // Runs work, waiting for more as needed, until `done()` holds or Quit is asked.
  void RunUntil(const std::function<bool()>& done);
  // Runs work until Quit; then clears the request.
  void Run();

  // Thread timers (SetTimer without a window). The period is at least 10 ms, as the
  // system's. A callback that falls due while the thread is busy runs once when it is free.
  TimerId SetTimer(std::uint32_t periodMs, std::function<void()> callback);
  bool KillTimer(TimerId id);
  bool IsTimer(TimerId id) const;
  int TimerCount() const;
  // Runs one timer's callback, or every running timer's in the order they were made, now, as
  // if it had fallen due; the next regular tick comes a full period later. Returns how many
  // callbacks ran.
  bool FireTimerNow(TimerId id);
  int FireTimersNow();
  // Called after every timer callback that ran, with the timer's id.
  void SetTimerHook(std::function<void(TimerId)> hook);

  // The loop's clock time in milliseconds, counted from its start.
  std::int64_t NowMs();

  // Stops every timer and drops queued work; the loop does nothing more and never touches
  // its clock again.
  void Shutdown();

 private:
  struct Timer {
    std::uint32_t nPeriodMs = 0;
    std::int64_t nDueMs = 0;
    std::shared_ptr<std::function<void()>> spCallback;  // shared so a kill cannot free it mid-call
  };

  bool RunOneTask();
  bool RunOneDueTimer();
  void RunTimer(TimerId id);
  void Wait();
  void Signal();

  IClock& m_clock;
  const std::thread::id m_loopThread;

  mutable std::mutex m_mutex;  // guards the queue, the quit request and the wake event
  std::deque<std::function<void()>> m_queue;
  bool m_bQuit = false;
  bool m_bShutDown = false;
  std::unique_ptr<IWakeEvent> m_pWake;
  std::condition_variable m_posted;  // used only when the clock gives no wake event

  // Loop thread only.
  std::map<TimerId, Timer> m_timers;
  TimerId m_nNextTimer = 1;
  std::function<void(TimerId)> m_timerHook;
  std::uint32_t m_nLastTick = 0;
  std::int64_t m_nNowMs = 0;
};
