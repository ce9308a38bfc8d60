// The add-in's one application-wide object: while the add-in is connected it holds Outlook's
// application with its Quit sink, the explorer collection, the background runner and the
// 3000 ms refresh timer that brings every toolbar up to date with what the runner found. For
// the whole process it holds what every window shares: the remembered statuses, the keeper
// of the stored session and the gate that lets one login or status flow run at a time.
//
// Threading: every operation runs on Outlook's main thread; the runner's worker never calls
// into this object.
#pragma once

#include <functional>
#include <memory>

#include "addin/addin_services.h"
#include "addin/event_sink.h"
#include "addin/explorer_coll.h"
#include "addin/outlook_explorer.h"
#include "common/hresult.h"
#include "facebook/login_flows.h"
#include "monitor/facebook_runner.h"
#include "platform/outlook_host.h"
#include "platform/window_system.h"
#include "settings/session_store.h"
#include "status/remembered_statuses.h"
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

  // Restores the saved session and the remembered statuses (at the first start in this
  // process only: after a reconnection the client's and the list's own are newer than the
  // store's), attaches to Outlook's application and explorers, starts the refresh timer and
  // the runner. At the first start the active explorer gets its object, or else the first
  // five; at a reconnection (switched on again) every open window does. The timer and the
  // runner start even when `application` is not Outlook's; the result tells whether it was.
  HRESULT Init(const std::shared_ptr<IAutomationObject>& application);
  // Kills the timer, stops the runner and detaches from Outlook's events. A second call
  // finds nothing left to do.
  void Cleanup();
  // Disconnection: Cleanup, then every explorer object takes away the bar and the controls
  // it made and lets go of its window, and the session and the toolbar's placement are
  // stored. Outlook's windows go on without the add-in until it is switched on again. After
  // Quit it finds nothing left to do.
  void Disconnect();
  // The timer's tick: refreshes every explorer's toolbar in list order, and stores the
  // session when it changed since it was stored (the worker may have found it dead).
  void RefreshTimerProc();

  void OnStartup() override {}
  // Quit. From Outlook 2010 on the process may end right after it, with no disconnection
  // (fast shut-down), so everything owed at disconnection is done here: Cleanup, the session,
  // the placement and the remembered statuses stored, and every Outlook and Office object
  // let go: the toolbars and their sinks, the explorer objects, the application, the module
  // state's application and, through the quit hook, the connection object's. Nothing is then
  // left to be released into an Outlook that has gone. The windows' bars are not deleted:
  // they go with the windows.
  void OnQuit() override;
  // Called at the end of OnQuit: the connection object lets go of what Outlook gave it. Empty
  // for none.
  void SetQuitHook(std::function<void()> hook) { m_quitHook = std::move(hook); }

  CFacebookRunner m_runner;
  CButtonImages m_buttonImages;  // before the explorers, which use it
  CRememberedStatuses m_rememberedStatuses;
  CSessionKeeper m_sessionKeeper;
  CFlowGate m_flows;
  std::shared_ptr<IOutlookApplication> m_spApplication;
  CMVOutlookExplorerColl<CFBOutlookExplorer> m_explorers;
  TimerId m_nTimerId = 0;

 private:
  // Cleanup; every explorer object leaves, taking away what it made when `bDeleteToolbars`;
  // the options are stored.
  void ReleaseOutlook(bool bDeleteToolbars);

  AddinServices m_services;
  bool m_bStartedBefore = false;  // Init ran before in this process
  std::function<void()> m_quitHook;
};

// The process's application object, as start-up code wired it (see
// common/process_instance.h). Throws CHResultError(E_UNEXPECTED) while none is wired.
CZenletApplication& GetApplicationObject();

}  // namespace morvane
