#include "tests/support/scripted_now_playing_source.h"

#include <utility>

void CScriptedNowPlayingSource::SetTrack(std::wstring title, std::wstring artist, HRESULT hr) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_strTitle = std::move(title);
  m_strArtist = std::move(artist);
  m_hr = hr;
}

void CScriptedNowPlayingSource::SetOnQuery(std::function<void()> onQuery) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_onQuery = std::move(onQuery);
}

int CScriptedNowPlayingSource::Queries() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nQueries;
}

bool CScriptedNowPlayingSource::WaitForQueries(int count, std::chrono::milliseconds realTimeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_asked.wait_for(lock, realTimeout, [&] { return m_nQueries >= count; });
}

HRESULT CScriptedNowPlayingSource::GetTrack(std::wstring* title, std::wstring* artist) {
  if (title == nullptr || artist == nullptr) {
    return E_POINTER;
  }
  std::function<void()> onQuery;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    onQuery = m_onQuery;
  }
  if (onQuery) {
    onQuery();
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  *title = m_strTitle;
  *artist = m_strArtist;
  ++m_nQueries;
  m_asked.notify_all();
  return m_hr;
}
