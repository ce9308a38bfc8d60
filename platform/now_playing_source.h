// Now-playing seam: one media player, asked what it is playing.
//
// Threading: called only on the background worker, after the platform's worker start hook
// (the COM apartment on Windows). Errors: GetTrack's HRESULT is for the log only; what
// counts is the pair, and both strings empty means nothing is playing or the player cannot
// be reached. Nothing throws except std::bad_alloc.
#pragma once

#include <string>

#include "common/hresult.h"

class INowPlayingSource {
 public:
  virtual ~INowPlayingSource() = default;

  // Sets `title` and `artist` of the current track; either may be empty. Both are set on every
  // call, to empty strings when nothing plays. A null pointer gives E_POINTER.
  virtual HRESULT GetTrack(std::wstring* title, std::wstring* artist) = 0;
};
