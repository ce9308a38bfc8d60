#include "addin/outlook_explorer.h"

#include <utility>
#include <vector>

#include "addin/explorer_coll.h"
#include "common/deployment.h"
#include "common/text.h"
#include "facebook/facebook_client.h"
#include "monitor/facebook_runner.h"
#include "platform/window_system.h"
#include "settings/options.h"
#include "settings/session_store.h"

namespace morvane {

namespace {

// From this major version on an activation also builds a toolbar that is not complete.
constexpr std::int32_t kBuildOnActivateVersion = 10;

}  // namespace

CFBOutlookExplorer::CFBOutlookExplorer(const ExplorerServices& services)
    : m_statusList(
          services.rememberedStatuses, services.client,
          [&runner = services.runner] { return runner.GetNowPlaying(); },
          [&state = services.moduleState](std::shared_ptr<IOutlookApplication>* application) {
            return state.GetOutlookApplication(application);
          }),
      m_notifications(services.client, services.clock, services.shell,
                      Utf8ToWide(services.deployment.strSiteAddress)),
      m_services(services) {}

CFBOutlookExplorer::~CFBOutlookExplorer() {
  // An object destroyed before its window closed (the module goes away first) leaves no
  // button sink that could still call back into it.
  for (const std::shared_ptr<CCBButtonEvent>& event : m_aButtonEvents) {
    event->Release();
  }
}

HRESULT CFBOutlookExplorer::Init(std::shared_ptr<IOutlookExplorer> explorer,
                                 CMVOutlookExplorerCollBase* coll) {
  m_pColl = coll;
  m_spExplorer = std::move(explorer);
  AdviseSink(m_spExplorer);
  BuildToolbar();
  return S_OK;
}

void CFBOutlookExplorer::OnExplorerActivate() {
  if (m_services.moduleState.GetOutlookMajorVersion() >= kBuildOnActivateVersion) {
    BuildToolbar();
  }
  ApplySavedPosition();
}

void CFBOutlookExplorer::OnActivate() {
  const std::shared_ptr<CFBOutlookExplorer> keepAlive = weak_from_this().lock();
  OnExplorerActivate();
}

void CFBOutlookExplorer::OnClose() {
  // Leaving the collection drops the list's reference: this share keeps the object alive
  // until the handler has returned.
  const std::shared_ptr<CFBOutlookExplorer> keepAlive = weak_from_this().lock();
  OnExplorerClose();
}

void CFBOutlookExplorer::StatusComboChanged(const std::shared_ptr<ICommandBarComboBox>& comboBox) {
  const std::shared_ptr<CFBOutlookExplorer> keepAlive = weak_from_this().lock();
  OnStatusChange(comboBox);
}

void CFBOutlookExplorer::NotificationsComboChanged(
    const std::shared_ptr<ICommandBarComboBox>& comboBox) {
  const std::shared_ptr<CFBOutlookExplorer> keepAlive = weak_from_this().lock();
  OnNotificationSelected(comboBox);
}

void CFBOutlookExplorer::OnExplorerClose() {
  if (RecordToolbarPlacement()) {
    m_services.session.Store();  // saves the options, placement and all
  }
  ReleaseToolbar();
}

void CFBOutlookExplorer::Detach(bool bDeleteToolbar) {
  const std::shared_ptr<CFBOutlookExplorer> keepAlive = weak_from_this().lock();
  RecordToolbarPlacement();
  // What goes is deleted once its sinks are unadvised: a deleted control takes no Unadvise.
  const std::shared_ptr<ICommandBar> bar = m_bMadeCommandBar ? m_spCommandBar : nullptr;
  const std::vector<std::shared_ptr<ICommandBarControl>> made = m_aMadeControls;
  ReleaseToolbar();
  if (!bDeleteToolbar) {
    return;
  }
  if (bar) {
    bar->Delete();  // its controls go with it
    return;
  }
  // Last made first, so a menu's items go before the menu.
  for (auto control = made.rbegin(); control != made.rend(); ++control) {
    (*control)->Delete();
  }
}

bool CFBOutlookExplorer::RecordToolbarPlacement() {
  if (!m_bMadeCommandBar || !m_spCommandBar) {
    return false;
  }
  CFBOpts& options = m_services.options;
  std::int32_t rowIndex = 0;
  if (SUCCEEDED(m_spCommandBar->GetRowIndex(&rowIndex))) {
    options.m_dwToolbarRowIndex = static_cast<std::uint32_t>(rowIndex);
  }
  std::int32_t left = 0;
  if (SUCCEEDED(m_spCommandBar->GetLeft(&left))) {
    options.m_dwToolbarLeft = static_cast<std::uint32_t>(left);
  }
  std::int32_t position = office::kBarTop;
  if (FAILED(m_spCommandBar->GetPosition(&position))) {
    position = office::kBarTop;
  }
  options.m_dwToolbarPosition = static_cast<std::uint32_t>(position);
  return true;
}

WindowHandle CFBOutlookExplorer::GetExplorerWindow() {
  if (m_hWnd == 0 && m_spExplorer) {
    WindowHandle window = 0;
    if (SUCCEEDED(m_spExplorer->GetWindow(&window))) {
      m_hWnd = window;
    }
  }
  return m_hWnd != 0 ? m_hWnd : m_services.windowSystem.GetActiveWindow();
}

}  // namespace morvane
