// The contracts of the two seams the background worker uses, run against every
// implementation this build has: the now-playing sources (the silent one of systems without
// a player, the scripted one of the tests) and the worker-thread hooks (the platform's, the
// recording ones of the tests).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tests/platform/native_adapters.h"
#include "tests/support/recording_thread_hooks.h"
#include "tests/support/scripted_now_playing_source.h"

namespace {

struct SourceHarness {
  std::unique_ptr<INowPlayingSource> source;
  // Makes the player stop playing; every source can be in that state.
  std::function<void()> stopPlaying = [] {};
};

SourceHarness MakeSilent() {
  return {MakeNativeNowPlayingSource()};
}

SourceHarness MakeScripted() {
  auto source = std::make_unique<CScriptedNowPlayingSource>();
  CScriptedNowPlayingSource* scripted = source.get();
  scripted->SetTrack(L"Title", L"Artist");
  SourceHarness harness{std::move(source)};
  harness.stopPlaying = [scripted] { scripted->SetTrack(L"", L"", E_FAIL); };
  return harness;
}

class NowPlayingContractTest : public ::testing::TestWithParam<SourceHarness (*)()> {};

TEST_P(NowPlayingContractTest, NothingPlayingEmptiesBothStringsWhateverTheyHeld) {
  SourceHarness harness = GetParam()();
  harness.stopPlaying();
  std::wstring title = L"old title";
  std::wstring artist = L"old artist";
  harness.source->GetTrack(&title, &artist);
  EXPECT_EQ(title + artist, L"");
  EXPECT_EQ(harness.source->GetTrack(nullptr, &artist), E_POINTER);
}

std::string SourceName(const ::testing::TestParamInfo<SourceHarness (*)()>&) {
  return "Source";
}

INSTANTIATE_TEST_SUITE_P(Silent, NowPlayingContractTest, ::testing::Values(&MakeSilent),
                         SourceName);
INSTANTIATE_TEST_SUITE_P(Scripted, NowPlayingContractTest, ::testing::Values(&MakeScripted),
                         SourceName);

std::unique_ptr<IThreadHooks> MakePlatformHooks() {
  return MakeNativeThreadHooks();
}
std::unique_ptr<IThreadHooks> MakeRecordingHooks() {
  return std::make_unique<CRecordingThreadHooks>();
}

class ThreadHooksContractTest
    : public ::testing::TestWithParam<std::unique_ptr<IThreadHooks> (*)()> {};

TEST_P(ThreadHooksContractTest, BalancedPairsOnManyThreadsAtOnceAndAgainOnOne) {
  std::unique_ptr<IThreadHooks> hooks = GetParam()();
  auto worker = [&] {
    for (int run = 0; run < 2; ++run) {
      hooks->OnWorkerStart();
      hooks->OnWorkerEnd();
    }
  };
  std::thread a(worker);
  std::thread b(worker);
  a.join();
  b.join();
  if (auto* recording = dynamic_cast<CRecordingThreadHooks*>(hooks.get())) {
    EXPECT_EQ(recording->Starts(), 4);
    EXPECT_EQ(recording->Ends(), 4);
    EXPECT_TRUE(recording->Balanced());
  }
}

std::string HooksName(const ::testing::TestParamInfo<std::unique_ptr<IThreadHooks> (*)()>&) {
  return "Hooks";
}

INSTANTIATE_TEST_SUITE_P(Native, ThreadHooksContractTest, ::testing::Values(&MakePlatformHooks),
                         HooksName);
INSTANTIATE_TEST_SUITE_P(Recording, ThreadHooksContractTest, ::testing::Values(&MakeRecordingHooks),
                         HooksName);

}  // namespace
