#include "monitor/facebook_runner.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

#include "common/logger.h"
#include "facebook/facebook_client.h"
#include "monitor/perf_timer.h"
#include "platform/clock.h"
#include "platform/now_playing_source.h"

namespace {

constexpr std::uint32_t kFirstWaitMs = 5000;
constexpr std::uint32_t kSecondWaitMs = 2000;  // the first pass begins about 7 s after Start
constexpr std::uint32_t kPassMs = 2000;
constexpr std::int64_t kCheckIntervalSeconds = 300;  // strictly more than this between checks
constexpr std::int64_t kPlayerIntervalSeconds = 5;   // at least this between player queries

constexpr const wchar_t* kListeningTo = L"is listening to ";

// Seconds from `last` to `now`, and whether at least `interval` of them have passed. A clock
// set back to before `last` counts as a whole interval, or the work would pause for as long
// as the clock was set back.
bool HasPassed(std::int64_t now, std::int64_t last, std::int64_t interval, bool strictly) {
  const std::int64_t elapsed = now - last;
  return elapsed < 0 || (strictly ? elapsed > interval : elapsed >= interval);
}

// "is listening to " with the artist, " - " when there are both, and the title.
std::wstring NowPlayingText(const std::wstring& title, const std::wstring& artist) {
  if (title.empty() && artist.empty()) {
    return std::wstring();
  }
  std::wstring text = kListeningTo;
  text += artist;
  if (!artist.empty() && !title.empty()) {
    text += L" - ";
  }
  text += title;
  return text;
}

}  // namespace

class CFacebookRunner::CWork : public IThreadWork {
 public:
  CWork(CFacebookClient& client, INowPlayingSource& firstPlayer, INowPlayingSource& secondPlayer,
        IClock& clock, CLogger& log)
      : m_client(client),
        m_firstPlayer(firstPlayer),
        m_secondPlayer(secondPlayer),
        m_clock(clock),
        m_log(log) {}

  void Run(CWorkerSignals& signals) override;

  void RequestCheckNow() { m_bCheckNow.store(true); }

  std::wstring NowPlaying() const {
    std::lock_guard<std::mutex> lock(m_csNowPlaying);
    return m_strNowPlaying;
  }

 private:
  void UpdateNowPlaying();
  void CheckNotifications(CWorkerSignals& signals);
  // The UI thread copies the text under the same lock, so it never reads one half-replaced.
  void SetNowPlaying(std::wstring text) {
    std::lock_guard<std::mutex> lock(m_csNowPlaying);
    m_strNowPlaying.swap(text);
  }

  CFacebookClient& m_client;
  INowPlayingSource& m_firstPlayer;
  INowPlayingSource& m_secondPlayer;
  IClock& m_clock;
  CLogger& m_log;

  std::atomic<bool> m_bCheckNow{false};  // set by the UI thread, cleared after a check
  mutable std::mutex m_csNowPlaying;
  std::wstring m_strNowPlaying;
  // When the last player query ended, in seconds since 1970; 0 before the first. Atomic
  // because a late worker and the next one may both run for a while.
  std::atomic<std::int64_t> m_nLastNowPlaying{0};
};

void CFacebookRunner::CWork::Run(CWorkerSignals& signals) {
  signals.Pause(kFirstWaitMs);
  if (signals.IsStopRequested()) {
    return;
  }
  signals.Pause(kSecondWaitMs);
  if (signals.IsStopRequested()) {
    return;
  }
  std::int64_t lastCheck = 0;  // so the first pass always checks
  for (;;) {
    const std::int64_t now = m_clock.Now();
    UpdateNowPlaying();
    if (signals.IsStopRequested()) {
      return;
    }
    if (HasPassed(now, lastCheck, kCheckIntervalSeconds, true) || m_bCheckNow.load()) {
      CheckNotifications(signals);
      if (signals.IsStopRequested()) {
        return;
      }
      lastCheck = m_clock.Now();
      m_bCheckNow.store(false);
    }
    signals.Pause(kPassMs);
    if (signals.IsStopRequested()) {
      return;
    }
  }
}

void CFacebookRunner::CWork::UpdateNowPlaying() {
  if (!m_client.IsLoggedIn() ||
      !HasPassed(m_clock.Now(), m_nLastNowPlaying.load(), kPlayerIntervalSeconds, false)) {
    return;
  }
  std::wstring title;
  std::wstring artist;
  CPerfTimer timer(m_clock);
  timer.Start();
  m_firstPlayer.GetTrack(&title, &artist);
  m_log.debug("cm: it %f", timer.ElapsedMs());
  if (title.empty() && artist.empty()) {
    CPerfTimer secondTimer(m_clock);
    secondTimer.Start();
    m_secondPlayer.GetTrack(&title, &artist);
    m_log.debug("cm: wm %f", secondTimer.ElapsedMs());
  }
  SetNowPlaying(NowPlayingText(title, artist));
  m_nLastNowPlaying.store(m_clock.Now());
}

void CFacebookRunner::CWork::CheckNotifications(CWorkerSignals& signals) {
  if (!m_client.IsLoggedIn()) {
    m_log.debug("cnm: nli1");
    return;
  }
  m_client.GetNotifications();  // with the own record when it succeeds
  if (signals.IsStopRequested()) {
    return;
  }
  if (!m_client.IsLoggedIn()) {
    m_log.debug("cnm: nli2");  // the service ended the session
    return;
  }
  m_client.QueryFriends();
}

CFacebookRunner::CFacebookRunner(CFacebookClient& client, INowPlayingSource& firstPlayer,
                                 INowPlayingSource& secondPlayer, IClock& clock,
                                 IThreadHooks& hooks, CLogger& log)
    : CThreadRunner(clock, hooks, log),
      m_spWork(std::make_shared<CWork>(client, firstPlayer, secondPlayer, clock, log)) {}

CFacebookRunner::~CFacebookRunner() = default;

HRESULT CFacebookRunner::Start() {
  StartThread(m_spWork);
  return S_OK;
}

void CFacebookRunner::RequestCheckNow() {
  m_spWork->RequestCheckNow();
}

std::wstring CFacebookRunner::GetNowPlaying() const {
  return m_spWork->NowPlaying();
}
