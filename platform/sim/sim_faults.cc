#include "platform/sim/sim_faults.h"

void CSimFaults::Inject(std::string_view call, HRESULT hr, int nth, bool persistent) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_entries.find(call);
  if (it == m_entries.end()) {
    it = m_entries.emplace(std::string(call), Entry{}).first;
  }
  Entry& entry = it->second;
  entry.bArmed = true;
  entry.nCountdown = nth < 1 ? 0 : nth - 1;
  entry.bPersistent = persistent;
  entry.hr = hr;
}

void CSimFaults::Clear(std::string_view call) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_entries.find(call);
  if (it != m_entries.end()) {
    it->second.bArmed = false;
  }
}

void CSimFaults::ClearAll() {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (auto& [name, entry] : m_entries) {
    entry.bArmed = false;
  }
}

std::int64_t CSimFaults::CallCount(std::string_view call) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_entries.find(call);
  return it == m_entries.end() ? 0 : it->second.nCalls;
}

HRESULT CSimFaults::OnCall(std::string_view call) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_entries.find(call);
  if (it == m_entries.end()) {
    it = m_entries.emplace(std::string(call), Entry{}).first;
  }
  Entry& entry = it->second;
  ++entry.nCalls;
  if (!entry.bArmed) {
    return S_OK;
  }
  if (entry.nCountdown > 0) {
    --entry.nCountdown;
    return S_OK;
  }
  if (!entry.bPersistent) {
    entry.bArmed = false;
  }
  return entry.hr;
}
