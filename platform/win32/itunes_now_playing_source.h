// The now-playing source of iTunes: its automation server, reached through IDispatch by member
// name (the application's PlayerState and CurrentTrack, the track's Name and Artist), and only
// while the player's main window exists, so that asking never starts the player.
//
// Threading: on a thread in a single-threaded COM apartment (the worker's). Every call creates
// the application object anew and releases everything before it returns.
#pragma once

#include <windows.h>

#include <string>

#include "platform/now_playing_source.h"

// The iTunes application class, {DC0C2640-1415-4644-875C-6F4D769839BA}.
inline constexpr CLSID kClsidITunesApp = {
    0xdc0c2640, 0x1415, 0x4644, {0x87, 0x5c, 0x6f, 0x4d, 0x76, 0x98, 0x39, 0xba}};

// Sets the title and the artist of the track iTunes is playing; both empty unless it plays.
// E_FAIL at once without a window of class "iTunes" titled "iTunes"; E_UNEXPECTED when the
// player is not playing; otherwise the first failing call's code (the pair is then empty,
// except that a failed Artist read keeps the title). E_POINTER for a null pointer.
HRESULT GetITunesTrack(std::wstring* title, std::wstring* artist);

class CITunesNowPlayingSource : public INowPlayingSource {
 public:
  HRESULT GetTrack(std::wstring* title, std::wstring* artist) override {
    return GetITunesTrack(title, artist);
  }
};
