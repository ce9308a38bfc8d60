#include "addin/zenlet_application.h"

#include <vector>

#include "common/logger.h"
#include "common/process_instance.h"
#include "settings/options.h"
#include "settings/session_store.h"

namespace morvane {

CZenletApplication::CZenletApplication(const AddinServices& services,
                                       INowPlayingSource& firstPlayer,
                                       INowPlayingSource& secondPlayer, IThreadHooks& threadHooks,
                                       CLogger& runnerLog)
    : m_runner(services.client, firstPlayer, secondPlayer, services.clock, threadHooks, runnerLog),
      m_buttonImages(services.windowSystem, services.pClipboard, services.log),
      m_explorers(ExplorerServices{services, m_runner, m_buttonImages}),
      m_services(services) {}

CZenletApplication::~CZenletApplication() {
  Cleanup();
}

HRESULT CZenletApplication::Init(const std::shared_ptr<IAutomationObject>& application) {
  CFBOpts& options = m_services.options;
  options.LoadOnce();
  // A session begun since the first start lives only in the client until a window closes or
  // the user logs out; restoring the store's again would log the user out, or back in as
  // whoever was stored.
  if (!m_bSessionRestored) {
    LoadSessionFromOptions(m_services.client, options);
    m_bSessionRestored = true;
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

void CZenletApplication::RefreshTimerProc() {
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
