// A media player whose answer the test sets, and which counts how often it was asked. Safe
// to script from the test thread while a worker asks it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "platform/now_playing_source.h"

class CScriptedNowPlayingSource : public INowPlayingSource {
 public:
  // What every query answers from now on; at first nothing plays (empty pair, E_FAIL).
  void SetTrack(std::wstring title, std::wstring artist, HRESULT hr = S_OK);
  // Runs inside each query before it answers, on the asking thread (to throw, or to block).
  void SetOnQuery(std::function<void()> onQuery);

  int Queries();
  // Blocks (in real time, at most `realTimeout`) until at least `count` queries were made.
  bool WaitForQueries(int count, std::chrono::milliseconds realTimeout);

  HRESULT GetTrack(std::wstring* title, std::wstring* artist) override;

 private:
  std::mutex m_mutex;
  std::condition_variable m_asked;
  std::wstring m_strTitle;
  std::wstring m_strArtist;
  HRESULT m_hr = E_FAIL;
  std::function<void()> m_onQuery;
  int m_nQueries = 0;
};
