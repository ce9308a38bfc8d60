// The add-in's one application-wide object: while the add-in is connected it holds Outlook's
// application with its Quit sink, the explorer collection, the background runner and the
// 3000 ms refresh timer that brings every toolbar up to date with what the runner found.
//
// Threading: every operation runs on Outlook's main thread; the runner's worker never calls
// into this object.
#pragma once

#include <memory>

#include "addin/addin_services.h"
#include "addin/event_sink.h"
#include "addin/explorer_coll.h"
#include "addin/outlook_explorer.h"
#include "common/hresult.h"
#include "monitor/facebook_runner.h"
#include "platform/outlook_host.h"
#include "platform/window_system.h"
#include "toolbar/button_image.h"

class INowPlayingSource;
class IThreadHooks;

namespace morvane {

class CZenletApplication final : public CEventSink<IApplicationEvents, IOutlookApplication, 1> {
 public:
  static constexpr std::uint32_t kRefreshPeriodMs = 3000;

  // The runner asks `firstPlayer`, then `secondPlayer`, and logs to `runnerLog` ("fbr").
  CZenletApplication(const AddinServices& services, INowPlayingSource& firstPlayer,
                     INowPlayingSource& secondPlayer, IThreadHooks& threadHooks,
                     CLogger& runnerLog);
  // Cleans up first, so no timer or worker outlives the object.
  ~CZenletApplication() override;
  CZenletApplication(const CZenletApplication&) = delete;
  CZenletApplication& operator=(const CZenletApplication&) = delete;

  // Restores the saved session (at the first start in this process only: after a
  // reconnection the client's own session is newer than the store's), attaches to Outlook's
  // application and explorers, starts the refresh timer and the runner. The timer and the runner
  // start even when `application` is not Outlook's; the result tells whether it was.
  HRESULT Init(const std::shared_ptr<IAutomationObject>& application);
  // Kills the timer, stops the runner and detaches from Outlook's events. A second call
  // finds nothing left to do. Explorer objects stay until their windows close.
  void Cleanup();
  // The timer's tick: refreshes every explorer's toolbar in list order.
  void RefreshTimerProc();

  void OnStartup() override {}
  void OnQuit() override { Cleanup(); }

  CFacebookRunner m_runner;
  CButtonImages m_buttonImages;  // before the explorers, which use it
  std::shared_ptr<IOutlookApplication> m_spApplication;
  CMVOutlookExplorerColl<CFBOutlookExplorer> m_explorers;
  TimerId m_nTimerId = 0;

 private:
  AddinServices m_services;
  bool m_bSessionRestored = false;
};

// The process's application object, as start-up code wired it (see
// common/process_instance.h). Throws CHResultError(E_UNEXPECTED) while none is wired.
CZenletApplication& GetApplicationObject();

}  // namespace morvane
