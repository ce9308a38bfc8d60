#include "addin/zenlet_application.h"

#include <vector>

#include "addin/module_state.h"
#include "common/logger.h"
#include "common/process_instance.h"
#include "settings/options.h"

namespace morvane {

CZenletApplication::CZenletApplication(const AddinServices& services,
                                       INowPlayingSource& firstPlayer,
                                       INowPlayingSource& secondPlayer, IThreadHooks& threadHooks,
                                       CLogger& runnerLog)
    : m_runner(services.client, firstPlayer, secondPlayer, services.clock, threadHooks, runnerLog),
      m_buttonImages(services.windowSystem, services.pClipboard, services.log),
      m_rememberedStatuses(services.options),
      m_sessionKeeper(services.client, services.options),
      m_explorers(ExplorerServices{services, m_runner, m_buttonImages, m_rememberedStatuses,
                                   m_sessionKeeper, m_flows}),
      m_services(services) {}

CZenletApplication::~CZenletApplication() {
  Cleanup();
}

HRESULT CZenletApplication::Init(const std::shared_ptr<IAutomationObject>& application) {
  m_services.options.LoadOnce();
  // A session begun since the first start may not be stored yet, and the list is stored as it
  // changes; restoring the store's again would log the user out, or back in as whoever was
  // stored.
  const bool bReconnection = m_bStartedBefore;
  if (!bReconnection) {
    m_sessionKeeper.Restore();
    m_rememberedStatuses.LoadFromOptions();
    m_bStartedBefore = true;
  }

  HRESULT hr = E_POINTER;
  std::shared_ptr<IOutlookApplication> outlook;
  if (application) {
    hr = application->QueryOutlookApplication(&outlook);
    if (SUCCEEDED(hr) && !outlook) {
      hr = E_NOINTERFACE;
    }
  }
  if (SUCCEEDED(hr)) {
    m_spApplication = outlook;
    AdviseSink(outlook);
    m_explorers.Init(outlook);
    if (bReconnection) {
      // Switched on again while Outlook runs: the windows that lost their bars at the
      // switch-off get them back, each once.
      m_explorers.AttachToEveryExplorer();
    }
  }

  if (m_nTimerId == 0) {
    m_nTimerId =
        m_services.windowSystem.SetThreadTimer(kRefreshPeriodMs, [this] { RefreshTimerProc(); });
  }
  m_runner.Start();
  return hr;
}

void CZenletApplication::Cleanup() {
  if (m_nTimerId != 0) {
    m_services.windowSystem.KillThreadTimer(m_nTimerId);
    m_nTimerId = 0;
  }
  m_runner.Stop();
  if (m_spApplication) {
    UnadviseSink();
    m_spApplication.reset();
  }
  m_services.log.debug("cln: %p", static_cast<const void*>(m_explorers.m_spExplorers.get()));
  if (m_explorers.m_spExplorers) {
    m_explorers.Detach();
  }
}

void CZenletApplication::ReleaseOutlook(bool bDeleteToolbars) {
  Cleanup();
  // Each object leaves the list as it lets go of its window: the walk goes over a copy.
  const std::vector<std::shared_ptr<CFBOutlookExplorer>> explorers = m_explorers.m_list;
  for (const std::shared_ptr<CFBOutlookExplorer>& explorer : explorers) {
    explorer->Detach(bDeleteToolbars);
  }
  if (m_bStartedBefore) {
    // The placements the objects recorded, the session and the remembered statuses.
    m_sessionKeeper.Store();
  }
}

void CZenletApplication::Disconnect() {
  ReleaseOutlook(true);
}

void CZenletApplication::OnQuit() {
  ReleaseOutlook(false);
  m_services.moduleState.SetOutlookApplication(nullptr);
  if (m_quitHook) {
    const std::function<void()> hook = m_quitHook;
    hook();
  }
}

void CZenletApplication::RefreshTimerProc() {
  m_sessionKeeper.StoreIfChanged();
  // A refresh may run a nested message loop in which windows close and leave the list: the
  // walk goes over a copy, whose shares keep each object alive through its own refresh.
  const std::vector<std::shared_ptr<CFBOutlookExplorer>> explorers = m_explorers.m_list;
  for (const std::shared_ptr<CFBOutlookExplorer>& explorer : explorers) {
    if (explorer->m_spExplorer) {
      explorer->RefreshToolbar();
    }
  }
}

CZenletApplication& GetApplicationObject() {
  if (CZenletApplication* application = CProcessInstance<CZenletApplication>::Get()) {
    return *application;
  }
  ThrowHResult(E_UNEXPECTED);
}

}  // namespace morvane
