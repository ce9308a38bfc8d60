#include "platform/silent_now_playing_source.h"

HRESULT CSilentNowPlayingSource::GetTrack(std::wstring* title, std::wstring* artist) {
  if (title == nullptr || artist == nullptr) {
    return E_POINTER;
  }
  title->clear();
  artist->clear();
  return E_FAIL;
}
