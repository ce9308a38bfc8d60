// The contracts of the two seams the background worker uses, run against every
// implementation this build has: the now-playing sources (the silent one of systems without
// a player, the scripted one of the tests; the Windows players join in their own suite) and
// the worker-thread hooks (the platform's, the recording ones of the tests).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tests/platform/native_adapters.h"
#include "tests/platform/now_playing_contract.h"
#include "tests/support/recording_thread_hooks.h"
#include "tests/support/scripted_now_playing_source.h"

namespace {

NowPlayingHarness MakeSilent() {
  NowPlayingHarness harness;
  harness.source = MakeNativeNowPlayingSource();
  return harness;
}

NowPlayingHarness MakeScripted() {
  auto source = std::make_unique<CScriptedNowPlayingSource>();
  CScriptedNowPlayingSource* scripted = source.get();
  NowPlayingHarness harness;
  harness.source = std::move(source);
  harness.play = [scripted](const std::wstring& title, const std::wstring& artist) {
    scripted->SetTrack(title, artist);
    return true;
  };
  harness.stop = [scripted] { scripted->SetTrack(L"", L"", E_FAIL); };
  return harness;
}

INSTANTIATE_TEST_SUITE_P(Fakes, NowPlayingContractTest,
                         ::testing::Values(NowPlayingTarget{"Silent", &MakeSilent},
                                           NowPlayingTarget{"Scripted", &MakeScripted}),
                         NowPlayingTargetName);
INSTANTIATE_TEST_SUITE_P(Fakes, NowPlayingWhilePlayingContractTest,
                         ::testing::Values(NowPlayingTarget{"Scripted", &MakeScripted}),
                         NowPlayingTargetName);

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
