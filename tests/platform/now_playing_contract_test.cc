// The now-playing seam's contract (see now_playing_contract.h), for every source that joins.
#include "tests/platform/now_playing_contract.h"

std::string NowPlayingTargetName(const ::testing::TestParamInfo<NowPlayingTarget>& info) {
  return info.param.strName;
}

void PrintTo(const NowPlayingTarget& target, std::ostream* os) {
  *os << target.strName;
}

namespace {

TEST_P(NowPlayingContractTest, NothingPlayingEmptiesBothStringsWhateverTheyHeld) {
  NowPlayingHarness harness = GetParam().create();
  harness.stop();
  std::wstring title = L"old title";
  std::wstring artist = L"old artist";
  harness.source->GetTrack(&title, &artist);
  EXPECT_EQ(title + artist, L"");
  EXPECT_EQ(harness.source->GetTrack(nullptr, &artist), E_POINTER);
  EXPECT_EQ(harness.source->GetTrack(&title, nullptr), E_POINTER);
}

// Every query asks the player afresh: a new track, a track without an artist and a stop are
// each seen at the next query.
TEST_P(NowPlayingWhilePlayingContractTest, EachQueryTellsWhatPlaysThen) {
  NowPlayingHarness harness = GetParam().create();
  struct Step {
    std::wstring strTitle;
    std::wstring strArtist;
  };
  for (const Step& step : {Step{L"Title", L"Artist"}, Step{L"Second \u00e9t\u00e9", L"Other"},
                           Step{L"No Artist", L""}}) {
    ASSERT_TRUE(harness.play(step.strTitle, step.strArtist));
    std::wstring title;
    std::wstring artist;
    EXPECT_TRUE(SUCCEEDED(harness.source->GetTrack(&title, &artist)));
    EXPECT_EQ(title, step.strTitle);
    EXPECT_EQ(artist, step.strArtist);
  }
  harness.stop();
  std::wstring title = L"old";
  std::wstring artist = L"old";
  harness.source->GetTrack(&title, &artist);
  EXPECT_EQ(title + artist, L"");
}

}  // namespace
