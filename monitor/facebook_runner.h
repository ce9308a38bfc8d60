// The background worker of the add-in: in passes 2000 ms apart it asks the media players
// what is playing (at most every 5 seconds, while logged in) and has the REST client poll
// Facebook (every 300 seconds, or in the next pass when the user asks). Results stay where
// the UI thread collects them by polling: the activity in the client under its lock, the
// now-playing text here.
//
// Threading: Start, Stop, RequestCheckNow and GetNowPlaying are called on the UI thread; the
// passes run on the worker. The now-playing text and the check-now flag live in an object
// the runner shares with its workers (see CThreadRunner), so a late worker never touches a
// destroyed runner.
#pragma once

#include <memory>
#include <string>

#include "monitor/thread_runner.h"

class CFacebookClient;
class CLogger;
class IClock;
class INowPlayingSource;
class IThreadHooks;

class CFacebookRunner : public CThreadRunner {
 public:
  // The collaborators must outlive every worker, including one that outlives a Stop that
  // timed out: in the add-in they are the process's own objects. `firstPlayer` is asked
  // before `secondPlayer`; `log` is the "fbr" category.
  CFacebookRunner(CFacebookClient& client, INowPlayingSource& firstPlayer,
                  INowPlayingSource& secondPlayer, IClock& clock, IThreadHooks& hooks,
                  CLogger& log);
  ~CFacebookRunner() override;

  // Starts the worker (see StartThread); always S_OK.
  HRESULT Start() override;
  // Asks the worker to check Facebook in its next pass, however recently it checked. Does
  // not wake it: the next pass begins within 2000 ms. A request made while a check runs is
  // taken as met by that check.
  void RequestCheckNow();
  // Empty, or "is listening to " with the artist and the title of the current track; a copy.
  std::wstring GetNowPlaying() const;

 private:
  // What a worker runs; shared by the runner and its workers.
  class CWork;

  std::shared_ptr<CWork> m_spWork;
};
