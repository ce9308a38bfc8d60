// The now-playing seam's contract suite, written against the seam only. A source joins it
// through a harness: the source under test and what makes its player play and stop (a real
// player's stand-in, or a fake's script).
//
//   INSTANTIATE_TEST_SUITE_P(Mine, NowPlayingContractTest,
//                            ::testing::Values(NowPlayingTarget{"Mine", &MakeMyHarness}),
//                            NowPlayingTargetName);
// NowPlayingWhilePlayingContractTest takes the sources whose player can be made to play.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "platform/now_playing_source.h"

struct NowPlayingHarness {
  std::unique_ptr<INowPlayingSource> source;
  // Makes the player play `title` by `artist` (an empty artist: a track without one); false
  // when it could not be set up. Empty for a source that never plays.
  std::function<bool(const std::wstring& title, const std::wstring& artist)> play;
  // Makes the player stop playing; every source can be in that state.
  std::function<void()> stop = [] {};
  // What must live as long as the source: stand-ins, windows, registrations.
  std::shared_ptr<void> pKeep;
};

struct NowPlayingTarget {
  std::string strName;
  std::function<NowPlayingHarness()> create;
};

std::string NowPlayingTargetName(const ::testing::TestParamInfo<NowPlayingTarget>& info);
void PrintTo(const NowPlayingTarget& target, std::ostream* os);

class NowPlayingContractTest : public ::testing::TestWithParam<NowPlayingTarget> {};
class NowPlayingWhilePlayingContractTest : public ::testing::TestWithParam<NowPlayingTarget> {};
