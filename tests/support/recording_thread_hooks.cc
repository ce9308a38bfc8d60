#include "tests/support/recording_thread_hooks.h"

#include <algorithm>

void CRecordingThreadHooks::OnWorkerStart() {
  std::lock_guard<std::mutex> lock(m_mutex);
  const std::thread::id self = std::this_thread::get_id();
  if (std::find(m_aLive.begin(), m_aLive.end(), self) != m_aLive.end()) {
    m_bBalanced = false;
  }
  m_aLive.push_back(self);
  ++m_nStarts;
  m_changed.notify_all();  // under the lock: a waiter may destroy this object once woken
}

void CRecordingThreadHooks::OnWorkerEnd() {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto at = std::find(m_aLive.begin(), m_aLive.end(), std::this_thread::get_id());
  if (at == m_aLive.end()) {
    m_bBalanced = false;
  } else {
    m_aLive.erase(at);
  }
  ++m_nEnds;
  m_changed.notify_all();
}

int CRecordingThreadHooks::Starts() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nStarts;
}

int CRecordingThreadHooks::Ends() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nEnds;
}

bool CRecordingThreadHooks::Balanced() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bBalanced;
}

bool CRecordingThreadHooks::WaitForStarts(int count, std::chrono::milliseconds realTimeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, realTimeout, [&] { return m_nStarts >= count; });
}

bool CRecordingThreadHooks::WaitForEnds(int count, std::chrono::milliseconds realTimeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, realTimeout, [&] { return m_nEnds >= count; });
}
