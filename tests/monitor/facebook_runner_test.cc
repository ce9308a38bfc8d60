#include "monitor/facebook_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <thread>

#include "monitor/activity_state.h"
#include "tests/facebook/client_harness.h"
#include "tests/monitor/poll_answers.h"
#include "tests/support/recording_thread_hooks.h"
#include "tests/support/scripted_now_playing_source.h"

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kRealTimeout = 10s;

// A one-way gate between threads.
class CGate {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bOpen = true;
    m_cv.notify_all();
  }
  bool Wait(std::chrono::milliseconds realTimeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, realTimeout, [&] { return m_bOpen; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_bOpen = false;
};

// The calling thread's entry under /proc (Linux), which lasts until the thread has fully exited.
std::filesystem::path ThisThreadEntry() {
  return std::filesystem::path("/proc") / std::filesystem::read_symlink("/proc/thread-self");
}

// A thread that was let go cannot be joined; this waits (in real time) until its exit is
// complete, so the test does not end while it still tears down.
bool WaitUntilGone(const std::filesystem::path& threadEntry) {
  const auto deadline = std::chrono::steady_clock::now() + kRealTimeout;
  while (std::filesystem::exists(threadEntry)) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// The manual clock as seen by a machine whose wall clock was set back, or whose clock can
// make no wake events.
class CAdjustedClock : public IClock {
 public:
  explicit CAdjustedClock(CManualClock& clock) : m_clock(clock) {}

  std::int64_t Now() override { return m_clock.Now() - m_nSetBack.load(); }
  std::uint32_t TickCount() override { return m_clock.TickCount(); }
  std::int64_t PerformanceCounter() override { return m_clock.PerformanceCounter(); }
  std::int64_t PerformanceFrequency() override { return m_clock.PerformanceFrequency(); }
  LocalDate Today() override { return m_clock.Today(); }
  std::unique_ptr<IWakeEvent> CreateWakeEvent() override {
    return m_bNoEvents.load() ? nullptr : m_clock.CreateWakeEvent();
  }

  void SetBack(std::int64_t seconds) { m_nSetBack += seconds; }
  void RefuseWakeEvents() { m_bNoEvents = true; }

 private:
  CManualClock& m_clock;
  std::atomic<std::int64_t> m_nSetBack{0};
  std::atomic<bool> m_bNoEvents{false};
};

class RunnerTest : public ::testing::Test {
 protected:
  ~RunnerTest() override {
    if (m_pRunner) {
      m_pRunner->Stop();
    }
  }

  CFacebookRunner& Runner() { return *m_pRunner; }
  void UseAdjustedClock() {
    m_pRunner = std::make_unique<CFacebookRunner>(h.client, m_first, m_second, m_adjusted, m_hooks,
                                                  m_logger);
  }

  // Waits until the worker has begun its next pause, whose deadline is then fixed, so the
  // clock can move on without racing the worker.
  void AwaitPause() {
    ++m_nPauses;
    ASSERT_TRUE(h.clock.WaitForWaitsBegun(m_nPauses, kRealTimeout)) << "pause " << m_nPauses;
  }
  // Lets `step` of clock time pass: the pause under way ends and the worker, after what its
  // pass does, begins the next.
  void Pass(std::chrono::milliseconds step = 2000ms) {
    h.clock.Advance(step);
    AwaitPause();
  }
  void Start() {
    Runner().Start();
    AwaitPause();
  }
  // Start, then the two first pauses: the worker has made its first pass.
  void StartAndMakeFirstPass() {
    Start();
    Pass(5000ms);
    Pass(2000ms);
  }
  // Counts the waits a Stop made on the clock as accounted for.
  void Resync() { m_nPauses = h.clock.WaitsBegun(); }

  std::size_t Requests() { return h.transport.Exchanges().size(); }
  int Logged(const std::string& fragment) { return m_log.Count(LogPriority::kDebug, fragment); }

  ClientHarness h;
  CAdjustedClock m_adjusted{h.clock};
  CScriptedNowPlayingSource m_first;
  CScriptedNowPlayingSource m_second;
  CRecordingThreadHooks m_hooks;
  CRecordingLogBackend m_log;
  CLogger m_logger{"fbr", &m_log};
  std::unique_ptr<CFacebookRunner> m_pRunner =
      std::make_unique<CFacebookRunner>(h.client, m_first, m_second, h.clock, m_hooks, m_logger);
  int m_nPauses = 0;
};

TEST_F(RunnerTest, FirstPassComesSevenSecondsAfterStartAndChecksAtOnce) {
  h.LogIn();
  AnswerCheck(h, 10, {{"Ann", "hi", "1700000000"}});
  m_first.SetTrack(L"Around the World", L"Daft Punk");
  Start();
  h.clock.Advance(4999ms);
  Pass(1ms);  // the second pause begins at 5 s
  h.clock.Advance(1999ms);
  EXPECT_EQ(Requests(), 0u);
  EXPECT_EQ(m_first.Queries(), 0);

  Pass(1ms);  // 7 s
  EXPECT_EQ(Requests(), 3u);
  EXPECT_EQ(m_first.Queries(), 1);
  EXPECT_EQ(m_second.Queries(), 0);
  EXPECT_EQ(Runner().GetNowPlaying(), L"is listening to Daft Punk - Around the World");
  EXPECT_EQ(BuildActivitySignature(h.client),
            L"4:Dave|0:|0:|1|0|1|3|0|0|0|3:Ann|2:hi|10:1700000000");
  EXPECT_TRUE(m_hooks.Balanced());
}

TEST_F(RunnerTest, ChecksWhenStrictlyMoreThanFiveMinutesPassedAndAsksPlayersEveryFiveSeconds) {
  h.LogIn();
  AnswerCheck(h, 10);
  AnswerCheck(h, 12);
  StartAndMakeFirstPass();  // checks at 7 s
  ASSERT_EQ(Requests(), 3u);
  for (int pass = 1; pass <= 150; ++pass) {
    Pass();  // the last of these begins exactly 300 s after the check
  }
  EXPECT_EQ(Requests(), 3u);
  Pass();
  EXPECT_EQ(Requests(), 6u);

  // 152 passes 2 s apart: the players were asked on every third, the second player each time
  // because the first played nothing.
  EXPECT_EQ(m_first.Queries(), 51);
  EXPECT_EQ(m_second.Queries(), 51);
  EXPECT_EQ(Logged("cm: it "), 51);
  EXPECT_EQ(Logged("cm: wm "), 51);
}

TEST_F(RunnerTest, CheckNowFetchesInTheNextPassOnlyOnce) {
  h.LogIn();
  AnswerCheck(h, 10);
  AnswerCheck(h, 12);
  StartAndMakeFirstPass();
  ASSERT_EQ(Requests(), 3u);
  Runner().RequestCheckNow();
  Pass();
  EXPECT_EQ(Requests(), 6u);
  Pass();
  EXPECT_EQ(Requests(), 6u);
  std::lock_guard<std::mutex> lock(h.client.m_csState);
  EXPECT_EQ(h.client.m_counts.nNewWallPosts, 2);
}

TEST_F(RunnerTest, LoggedOutItLogsOncePerPeriodAndOncePerRequest) {
  StartAndMakeFirstPass();  // 7 s
  EXPECT_EQ(Logged("cnm: nli1"), 1);
  Runner().RequestCheckNow();
  Pass();  // 9 s
  EXPECT_EQ(Logged("cnm: nli1"), 2);
  for (int pass = 1; pass <= 150; ++pass) {
    Pass();  // up to 309 s
  }
  EXPECT_EQ(Logged("cnm: nli1"), 2);
  Pass();
  EXPECT_EQ(Logged("cnm: nli1"), 3);
  EXPECT_EQ(Requests(), 0u);
  EXPECT_EQ(m_first.Queries() + m_second.Queries(), 0);
}

TEST_F(RunnerTest, SessionEndedByTheServiceStopsTheCheckAfterTheNotifications) {
  h.LogIn();
  h.Answer(ErrorAnswer("450", "Session key invalid or no longer valid"));
  StartAndMakeFirstPass();
  EXPECT_EQ(Requests(), 1u);  // no friends query without a session
  EXPECT_EQ(Logged("cnm: nli2"), 1);
  EXPECT_EQ(Logged("cnm: nli1"), 0);
}

TEST_F(RunnerTest, NowPlayingPrefersTheFirstPlayerAndStaysWhileLoggedOut) {
  h.LogIn();  // nothing answers: the checks fail and change nothing
  auto nextQuery = [&] {
    Pass();
    Pass();
    Pass();
  };
  m_first.SetTrack(L"Intro", L"");
  StartAndMakeFirstPass();
  EXPECT_EQ(Runner().GetNowPlaying(), L"is listening to Intro");
  EXPECT_EQ(m_second.Queries(), 0);

  m_first.SetTrack(L"", L"", E_FAIL);
  m_second.SetTrack(L"Teardrop", L"Massive Attack");
  m_second.SetOnQuery([&] { h.clock.Advance(250ms); });  // a slow player
  nextQuery();
  EXPECT_EQ(Runner().GetNowPlaying(), L"is listening to Massive Attack - Teardrop");
  EXPECT_EQ(m_log.Count(LogPriority::kDebug, "cm: wm 250.000000"), 1);
  m_second.SetOnQuery(nullptr);

  m_first.SetTrack(L"", L"Nobody");
  nextQuery();
  EXPECT_EQ(Runner().GetNowPlaying(), L"is listening to Nobody");

  m_first.SetTrack(L"", L"", E_FAIL);
  m_second.SetTrack(L"", L"", S_OK);
  nextQuery();
  EXPECT_EQ(Runner().GetNowPlaying(), L"");
  EXPECT_EQ(m_first.Queries(), 4);
  EXPECT_EQ(m_second.Queries(), 2);

  m_first.SetTrack(L"Song", L"Band");
  nextQuery();
  h.client.ClearSession();
  nextQuery();
  nextQuery();
  EXPECT_EQ(m_first.Queries(), 5);
  EXPECT_EQ(Runner().GetNowPlaying(), L"is listening to Band - Song");
}

TEST_F(RunnerTest, SecondStartMakesNoSecondThreadAndARestartAFreshOne) {
  Runner().Start();
  Start();
  EXPECT_TRUE(Runner().IsRunning());
  Runner().Stop();
  EXPECT_FALSE(Runner().IsRunning());
  EXPECT_EQ(m_hooks.Starts(), 1);
  EXPECT_EQ(m_hooks.Ends(), 1);

  Resync();
  Start();
  EXPECT_TRUE(Runner().IsRunning());
  Runner().Stop();
  EXPECT_EQ(m_hooks.Starts(), 2);
  EXPECT_EQ(m_hooks.Ends(), 2);
  EXPECT_TRUE(m_hooks.Balanced());
}

TEST_F(RunnerTest, StopDuringEitherFirstPauseEndsAtOnce) {
  h.LogIn();
  for (bool inSecondPause : {false, true}) {
    Resync();
    Start();
    if (inSecondPause) {
      Pass(5000ms);
    }
    Runner().Stop();  // the clock stands still: only the wake can end the pause
    EXPECT_FALSE(Runner().IsRunning());
  }
  EXPECT_EQ(m_hooks.Ends(), 2);
  EXPECT_EQ(Requests(), 0u);
  EXPECT_EQ(m_first.Queries(), 0);
}

TEST_F(RunnerTest, StopWhileARequestHangsReturnsAfterFiveSecondsAndTheLateWorkerEndsAlone) {
  h.LogIn();
  auto entered = std::make_shared<CGate>();
  auto release = std::make_shared<CGate>();
  ScriptedHttpAnswer hanging = ScriptedHttpAnswer::Body(NotificationsAnswer());
  auto workerEntry = std::make_shared<std::filesystem::path>();
  hanging.onSend = [entered, release, workerEntry] {
    *workerEntry = ThisThreadEntry();
    entered->Open();
    release->Wait(6 * kRealTimeout);
  };
  h.transport.Enqueue(hanging);
  Start();
  Pass(5000ms);
  h.clock.Advance(2000ms);  // the first pass begins and hangs in its first request
  ASSERT_TRUE(entered->Wait(kRealTimeout));
  ASSERT_TRUE(std::filesystem::exists(*workerEntry));

  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    Runner().Stop();
    stopped = true;
  });
  ASSERT_TRUE(h.clock.WaitForWaitsBegun(m_nPauses + 1, kRealTimeout));  // Stop waits
  h.clock.Advance(4999ms);
  EXPECT_FALSE(stopped.load());
  h.clock.Advance(1ms);
  stopper.join();
  EXPECT_FALSE(Runner().IsRunning());
  EXPECT_EQ(m_hooks.Ends(), 0);  // the worker still hangs

  // A new start gets a thread of its own, which a stop ends at once; the hanging one keeps
  // its own stop request.
  Resync();
  Start();
  Runner().Stop();
  EXPECT_EQ(m_hooks.Starts(), 2);
  EXPECT_EQ(m_hooks.Ends(), 1);

  // The runner goes away before its late worker wakes up: the worker must not need it.
  m_pRunner.reset();
  release->Open();
  ASSERT_TRUE(m_hooks.WaitForEnds(2, kRealTimeout));
  EXPECT_TRUE(WaitUntilGone(*workerEntry));
  // It finished the request under way with the own record that follows, then ended there.
  EXPECT_EQ(Requests(), 2u);
  EXPECT_TRUE(m_hooks.Balanced());
  std::lock_guard<std::mutex> lock(h.client.m_csState);
  EXPECT_EQ(h.client.m_counts.nFriendRequests, 3);
}

// A player query that threw ended the whole host process from the worker thread.
TEST_F(RunnerTest, AWorkerThatFailsEndsAloneAndCanBeStartedAgain) {
  h.LogIn();
  m_first.SetOnQuery([] { throw std::bad_alloc(); });
  Start();
  Pass(5000ms);
  h.clock.Advance(2000ms);
  ASSERT_TRUE(m_hooks.WaitForEnds(1, kRealTimeout));
  EXPECT_FALSE(Runner().IsRunning());
  EXPECT_EQ(m_log.Count(LogPriority::kError, "rn: worker failed"), 1);

  m_first.SetOnQuery(nullptr);
  Resync();
  Start();
  EXPECT_TRUE(Runner().IsRunning());
  Runner().Stop();
  EXPECT_EQ(m_hooks.Ends(), 2);
}

// With no wake event every pause returned at once and the worker spun through its passes.
TEST_F(RunnerTest, WithoutAWakeEventPausesKeepTheirLengthAndStopStillEndsThem) {
  m_adjusted.RefuseWakeEvents();
  UseAdjustedClock();
  h.LogIn();
  std::atomic<std::uint32_t> askedAt{0};
  m_first.SetOnQuery([&] { askedAt = h.clock.TickCount(); });
  Runner().Start();
  ASSERT_TRUE(m_hooks.WaitForStarts(1, kRealTimeout));
  // The clock stands still, so the worker must too (a short real wait, no clock to drive).
  EXPECT_FALSE(m_first.WaitForQueries(1, 100ms));

  for (int second = 0; second < 60 && m_first.Queries() == 0; ++second) {
    h.clock.Advance(1000ms);
    m_first.WaitForQueries(1, 100ms);
  }
  ASSERT_EQ(m_first.Queries(), 1);
  EXPECT_GE(askedAt.load(), 7000u);
  EXPECT_EQ(m_log.Count(LogPriority::kError, "rn: no wake event"), 2);

  Runner().Stop();  // with the clock standing still again
  EXPECT_FALSE(Runner().IsRunning());
  EXPECT_EQ(m_hooks.Ends(), 1);
}

// The system clock set back by an hour kept the worker from checking and from asking the
// players for that hour.
TEST_F(RunnerTest, ClockSetBackDoesNotHoldUpChecksOrPlayers) {
  UseAdjustedClock();
  h.LogIn();
  AnswerCheck(h, 10);
  AnswerCheck(h, 12);
  StartAndMakeFirstPass();
  ASSERT_EQ(Requests(), 3u);
  m_adjusted.SetBack(3600);
  Pass();
  EXPECT_EQ(Requests(), 6u);
  EXPECT_EQ(m_first.Queries(), 2);
  Pass();
  Pass();
  EXPECT_EQ(Requests(), 6u);  // and from then on the usual intervals
  EXPECT_EQ(m_first.Queries(), 2);
}

TEST_F(RunnerTest, UiReadsAndResetsWhileTheWorkerPolls) {
  h.LogIn();
  constexpr int kChecks = 20;
  for (int i = 0; i < kChecks; ++i) {
    const std::string n = std::to_string(i);
    AnswerCheck(h, 10 + i,
                {{"F" + n, "status " + n, std::to_string(1700000000 + i)}, {"Ann", "hi", "1"}});
  }
  m_first.SetTrack(L"Song", L"Band");
  Runner().Start();
  std::atomic<bool> flowing{true};
  std::thread flow([&] {
    while (flowing) {
      h.clock.Advance(1000ms);
      std::this_thread::yield();
    }
  });

  std::set<std::wstring> nowPlaying;
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (h.transport.Pending() > 0 && std::chrono::steady_clock::now() < deadline) {
    BuildActivitySignature(h.client);
    ResetNewWallPosts(h.client);
    nowPlaying.insert(Runner().GetNowPlaying());
    Runner().RequestCheckNow();
    std::lock_guard<std::mutex> lock(h.client.m_csState);
    for (const UserInfo& info : h.client.m_friends) {
      IsBirthdayToday(info, h.clock);
    }
  }
  flowing = false;
  flow.join();
  Runner().Stop();

  EXPECT_EQ(h.transport.Pending(), 0u);
  EXPECT_EQ(m_hooks.Ends(), 1);
  const std::wstring signature = BuildActivitySignature(h.client);
  const std::wstring lastFriends = L"|3:F19|9:status 19|10:1700000019|3:Ann|2:hi|1:1";
  ASSERT_GT(signature.size(), lastFriends.size());
  EXPECT_EQ(signature.substr(signature.size() - lastFriends.size()), lastFriends);
  EXPECT_EQ(Runner().GetNowPlaying(), L"is listening to Band - Song");
  for (const std::wstring& text : nowPlaying) {
    EXPECT_TRUE(text.empty() || text == L"is listening to Band - Song");
  }
}

}  // namespace
