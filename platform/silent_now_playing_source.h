// The now-playing source of a system without a media player the add-in can ask: nothing is
// ever playing. Both players of the Linux and of the Windows build are this one, for now.
#pragma once

#include "platform/now_playing_source.h"

class CSilentNowPlayingSource : public INowPlayingSource {
 public:
  // Empties both strings and returns E_FAIL, as a player that is not running does.
  HRESULT GetTrack(std::wstring* title, std::wstring* artist) override;
};
