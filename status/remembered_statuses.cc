#include "status/remembered_statuses.h"

#include <algorithm>

#include "settings/options.h"

void CRememberedStatuses::LoadFromOptions() {
  m_aValues.clear();
  for (const CUserStatusOpt& value : m_options.m_aStatusValues) {
    if (!value.m_strStatus.empty()) {
      m_aValues.push_back(value.m_strStatus);
    }
  }
  ++m_nGeneration;
}

void CRememberedStatuses::Remember(std::size_t chosen, std::uint64_t shownGeneration,
                                   const std::wstring& text) {
  if (text.empty()) {
    return;
  }
  if (chosen != 0) {
    // The picked value comes back at the front.
    if (shownGeneration == m_nGeneration && chosen <= m_aValues.size()) {
      m_aValues.erase(m_aValues.begin() + static_cast<std::ptrdiff_t>(chosen - 1));
    } else {
      const auto found = std::find(m_aValues.begin(), m_aValues.end(), text);
      if (found != m_aValues.end()) {
        m_aValues.erase(found);
      }
    }
  }
  m_aValues.insert(m_aValues.begin(), text);
  if (m_aValues.size() > kMostRemembered) {
    m_aValues.resize(kMostRemembered);
  }
  ++m_nGeneration;
  SaveToOptions();
}

void CRememberedStatuses::SaveToOptions() {
  m_options.m_aStatusValues.clear();
  for (const std::wstring& value : m_aValues) {
    if (!value.empty()) {
      m_options.m_aStatusValues.emplace_back(value);
    }
  }
  m_options.Save();  // a failed save keeps the list in memory as changed
}
