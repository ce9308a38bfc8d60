// Worker-thread hooks that record which threads started and ended, so tests can see that a
// worker ran its set-up and its tear-down on itself, once each, and wait for its end.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/thread_hooks.h"

class CRecordingThreadHooks : public IThreadHooks {
 public:
  void OnWorkerStart() override;
  void OnWorkerEnd() override;

  int Starts();
  int Ends();
  // Every end ran on a thread that had started and not yet ended, and no thread started twice
  // without ending in between.
  bool Balanced();
  // Blocks (in real time, at most `realTimeout`) until at least `count` starts or ends came.
  bool WaitForStarts(int count, std::chrono::milliseconds realTimeout);
  bool WaitForEnds(int count, std::chrono::milliseconds realTimeout);

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::thread::id> m_aLive;  // started and not yet ended
  int m_nStarts = 0;
  int m_nEnds = 0;
  bool m_bBalanced = true;
};
