// Outlook's application, explorers, items and folders, simulated.
#include <algorithm>
#include <utility>

#include "platform/sim/sim_core.h"
#include "platform/sim/sim_objects.h"

namespace {

// Outlook's item types, olMailItem (0) to olDistributionListItem (7).
bool IsItemType(std::int32_t type) {
  return type >= 0 && type <= 7;
}

}  // namespace

// --- explorers -------------------------------------------------------------------------------

CSimExplorer::CSimExplorer(std::shared_ptr<CSimCore> core, int number, WindowHandle window,
                           const std::vector<SimBarState>& bars)
    : CSimObject(std::move(core)), m_nNumber(number), m_window(window) {
  m_spBars = std::make_shared<CSimCommandBars>(m_spCore, bars);
}

HRESULT CSimExplorer::GetCommandBars(std::shared_ptr<ICommandBars>* bars) {
  if (bars == nullptr) {
    return E_POINTER;
  }
  *bars = nullptr;
  const HRESULT hr = Enter("_Explorer.CommandBars");
  if (SUCCEEDED(hr)) {
    *bars = m_spBars;
  }
  return hr;
}

HRESULT CSimExplorer::GetWindow(WindowHandle* window) {
  return Get("IOleWindow.GetWindow", window, m_window);
}

HRESULT CSimExplorer::Advise(IExplorerEvents* sink, std::uint32_t* cookie) {
  const HRESULT hr = EnterConnection("ConnectionPoint.Advise", "ExplorerEvents.Advise");
  return FAILED(hr) ? hr : m_events.Advise(sink, cookie);
}

HRESULT CSimExplorer::Unadvise(std::uint32_t cookie) {
  const HRESULT hr = EnterConnection("ConnectionPoint.Unadvise", "ExplorerEvents.Unadvise");
  return FAILED(hr) ? hr : m_events.Unadvise(cookie);
}

int CSimExplorer::SinkCount() const {
  int count = m_events.Count();
  for (const auto& bar : m_spBars->Bars()) {
    count += bar->SinkCount();
  }
  return count;
}

void CSimExplorer::FireActivate() {
  m_events.Fire([](IExplorerEvents& sink) { sink.OnActivate(); });
}

void CSimExplorer::FireSelectionChange() {
  m_events.Fire([](IExplorerEvents& sink) { sink.OnSelectionChange(); });
}

void CSimExplorer::FireClose() {
  m_events.Fire([](IExplorerEvents& sink) { sink.OnClose(); });
}

std::vector<SimBarState> CSimExplorer::Destroy() {
  std::vector<SimBarState> kept;
  if (m_bDeleted) {
    return kept;
  }
  m_nSinksLeftAtClose = SinkCount();
  for (const auto& bar : m_spBars->Bars()) {
    if (!bar->Placement().bTemporary) {
      kept.push_back(bar->Persistent());
    }
  }
  m_bDeleted = true;
  m_state = State::kClosed;
  m_events.Clear();
  m_spBars->Destroy();
  return kept;
}

HRESULT CSimExplorers::GetCount(std::int32_t* count) {
  return Get("_Explorers.Count", count,
             static_cast<std::int32_t>(m_spCore->OpenExplorers().size()));
}

HRESULT CSimExplorers::GetItem(std::int32_t index, std::shared_ptr<IOutlookExplorer>* explorer) {
  if (explorer == nullptr) {
    return E_POINTER;
  }
  *explorer = nullptr;
  const HRESULT hr = Enter("_Explorers.Item");
  if (FAILED(hr)) {
    return hr;
  }
  const std::vector<std::shared_ptr<CSimExplorer>> open = m_spCore->OpenExplorers();
  if (index < 1 || index > static_cast<std::int32_t>(open.size())) {
    return sim_error::kBadIndex;
  }
  *explorer = open[static_cast<std::size_t>(index - 1)];
  return S_OK;
}

HRESULT CSimExplorers::Advise(IExplorersEvents* sink, std::uint32_t* cookie) {
  const HRESULT hr = EnterConnection("ConnectionPoint.Advise", "ExplorersEvents.Advise");
  return FAILED(hr) ? hr : m_events.Advise(sink, cookie);
}

HRESULT CSimExplorers::Unadvise(std::uint32_t cookie) {
  const HRESULT hr = EnterConnection("ConnectionPoint.Unadvise", "ExplorersEvents.Unadvise");
  return FAILED(hr) ? hr : m_events.Unadvise(cookie);
}

void CSimExplorers::FireNewExplorer(const std::shared_ptr<IOutlookExplorer>& explorer) {
  m_events.Fire([&](IExplorersEvents& sink) { sink.OnNewExplorer(explorer); });
}

void CSimExplorers::Destroy() {
  m_bDeleted = true;
  m_events.Clear();
}

// --- items and folders -----------------------------------------------------------------------

HRESULT CSimItem::QueryMailItem(std::shared_ptr<IOutlookMailItem>* mailItem) {
  if (mailItem == nullptr) {
    return E_POINTER;
  }
  *mailItem = nullptr;
  const HRESULT hr = Enter("QueryInterface(_MailItem)");
  if (FAILED(hr)) {
    return hr;
  }
  if (m_nType != outlook::kMailItem) {
    return E_NOINTERFACE;
  }
  *mailItem =
      std::shared_ptr<IOutlookMailItem>(shared_from_this(), static_cast<IOutlookMailItem*>(this));
  return S_OK;
}

HRESULT CSimItem::SetSubject(const std::wstring& subject) {
  return Put("_MailItem.Subject=", &m_mail.strSubject, subject);
}

HRESULT CSimItem::SetTo(const std::wstring& to) {
  return Put("_MailItem.To=", &m_mail.strTo, to);
}

HRESULT CSimItem::Display() {
  const HRESULT hr = Enter("_MailItem.Display");
  if (FAILED(hr)) {
    return hr;
  }
  const SimMail mail = m_mail;
  m_spCore->m_aMails.push_back(mail);
  m_spCore->Notify([&](ISimObserver& observer) { observer.OnMailDisplayed(mail); });
  return S_OK;
}

HRESULT CSimFolder::GetItemCount(std::int32_t* count) {
  if (count == nullptr) {
    return E_POINTER;
  }
  HRESULT hr = Enter("MAPIFolder.Items");
  if (SUCCEEDED(hr)) {
    hr = Enter("_Items.Count");
  }
  if (SUCCEEDED(hr)) {
    *count = m_spCore->m_folderItems[m_nType];
  }
  return hr;
}

HRESULT CSimNameSpace::GetDefaultFolder(std::int32_t folderType,
                                        std::shared_ptr<IOutlookFolder>* folder) {
  if (folder == nullptr) {
    return E_POINTER;
  }
  *folder = nullptr;
  const HRESULT hr = Enter("_NameSpace.GetDefaultFolder");
  if (FAILED(hr)) {
    return hr;
  }
  if (m_spCore->m_folderItems.count(folderType) == 0) {
    return E_INVALIDARG;
  }
  *folder = std::make_shared<CSimFolder>(m_spCore, folderType);
  return S_OK;
}

// --- the application -------------------------------------------------------------------------

HRESULT CSimApplication::GetVersion(std::wstring* version) {
  return Get("_Application.Version", version, m_spCore->m_strVersion);
}

HRESULT CSimApplication::GetExplorers(std::shared_ptr<IOutlookExplorers>* explorers) {
  if (explorers == nullptr) {
    return E_POINTER;
  }
  *explorers = nullptr;
  const HRESULT hr = Enter("_Application.Explorers");
  if (SUCCEEDED(hr)) {
    *explorers = m_spCore->m_spExplorers;
  }
  return hr;
}

HRESULT CSimApplication::GetActiveExplorer(std::shared_ptr<IOutlookExplorer>* explorer) {
  if (explorer == nullptr) {
    return E_POINTER;
  }
  *explorer = nullptr;
  const HRESULT hr = Enter("_Application.ActiveExplorer");
  if (SUCCEEDED(hr)) {
    *explorer = m_spCore->ExplorerAt(m_spCore->m_nActive);
  }
  return hr;
}

HRESULT CSimApplication::CreateItem(std::int32_t itemType, std::shared_ptr<IOutlookItem>* item) {
  if (item == nullptr) {
    return E_POINTER;
  }
  *item = nullptr;
  const HRESULT hr = Enter("_Application.CreateItem");
  if (FAILED(hr)) {
    return hr;
  }
  if (!IsItemType(itemType)) {
    return E_INVALIDARG;
  }
  *item = std::make_shared<CSimItem>(m_spCore, itemType);
  return S_OK;
}

HRESULT CSimApplication::GetSession(std::shared_ptr<IOutlookNameSpace>* nameSpace) {
  if (nameSpace == nullptr) {
    return E_POINTER;
  }
  *nameSpace = nullptr;
  const HRESULT hr = Enter("_Application.Session");
  if (SUCCEEDED(hr)) {
    *nameSpace = m_spCore->m_spNameSpace;
  }
  return hr;
}

HRESULT CSimApplication::Advise(IApplicationEvents* sink, std::uint32_t* cookie) {
  const HRESULT hr = EnterConnection("ConnectionPoint.Advise", "ApplicationEvents.Advise");
  return FAILED(hr) ? hr : m_events.Advise(sink, cookie);
}

HRESULT CSimApplication::Unadvise(std::uint32_t cookie) {
  const HRESULT hr = EnterConnection("ConnectionPoint.Unadvise", "ApplicationEvents.Unadvise");
  return FAILED(hr) ? hr : m_events.Unadvise(cookie);
}

void CSimApplication::FireStartup() {
  m_events.Fire([](IApplicationEvents& sink) { sink.OnStartup(); });
}

void CSimApplication::FireQuit() {
  m_events.Fire([](IApplicationEvents& sink) { sink.OnQuit(); });
}

void CSimApplication::Destroy() {
  m_bDeleted = true;
  m_events.Clear();
}

HRESULT CSimAutomationObject::QueryOutlookApplication(
    std::shared_ptr<IOutlookApplication>* application) {
  if (application == nullptr) {
    return E_POINTER;
  }
  *application = nullptr;
  const HRESULT hr = Enter("QueryInterface(_Application)");
  if (FAILED(hr)) {
    return hr;
  }
  if (!m_bAnswers) {
    return E_NOINTERFACE;
  }
  *application = m_spCore->m_spApplication;
  return S_OK;
}
