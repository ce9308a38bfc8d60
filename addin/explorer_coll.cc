#include "addin/explorer_coll.h"

#include <algorithm>

#include "addin/outlook_explorer.h"

namespace morvane {

namespace {

// At start-up only this many explorers get an object when none is active.
constexpr std::int32_t kMaxStartupExplorers = 5;

}  // namespace

CMVOutlookExplorerCollBase::~CMVOutlookExplorerCollBase() = default;

HRESULT CMVOutlookExplorerCollBase::Init(const std::shared_ptr<IOutlookApplication>& application) {
  m_log.debug("ini: %p %p", static_cast<const void*>(application.get()),
              static_cast<const void*>(m_spExplorers.get()));
  if (m_spExplorers) {
    return S_OK;
  }
  std::shared_ptr<IOutlookExplorers> explorers;
  if (!application || FAILED(application->GetExplorers(&explorers)) || !explorers) {
    return E_FAIL;
  }
  m_spExplorers = explorers;
  std::int32_t count = 0;
  if (FAILED(explorers->GetCount(&count))) {
    count = 0;
  }
  m_log.debug("ini: ec %d", count);
  AdviseSink(explorers);

  std::shared_ptr<IOutlookExplorer> active;
  if (FAILED(application->GetActiveExplorer(&active))) {
    active.reset();
  }
  if (active) {
    OnNewExplorer(active);
    return S_OK;
  }
  m_log.debug("ini: no ae");
  const std::int32_t last = std::min(count, kMaxStartupExplorers);
  for (std::int32_t i = 1; i <= last; ++i) {
    std::shared_ptr<IOutlookExplorer> explorer;
    if (SUCCEEDED(explorers->GetItem(i, &explorer)) && explorer) {
      OnNewExplorer(explorer);
    }
  }
  return S_OK;
}

void CMVOutlookExplorerCollBase::AttachToEveryExplorer() {
  std::int32_t count = 0;
  if (!m_spExplorers || FAILED(m_spExplorers->GetCount(&count))) {
    return;
  }
  for (std::int32_t i = 1; i <= count; ++i) {
    std::shared_ptr<IOutlookExplorer> explorer;
    if (SUCCEEDED(m_spExplorers->GetItem(i, &explorer)) && explorer) {
      OnNewExplorer(explorer);  // one already served is passed over
    }
  }
}

void CMVOutlookExplorerCollBase::Detach() {
  UnadviseSink();
  m_spExplorers.reset();
}

bool CMVOutlookExplorerCollBase::IsAttached(const std::shared_ptr<IOutlookExplorer>& explorer) {
  // Wrappers of one window may be distinct objects (a COM adapter makes one per call), so the
  // window's handle decides when both can be read.
  const auto windowOf = [](const std::shared_ptr<IOutlookExplorer>& of) {
    WindowHandle window = 0;
    return of && SUCCEEDED(of->GetWindow(&window)) ? window : WindowHandle{0};
  };
  const WindowHandle window = windowOf(explorer);
  return std::any_of(m_list.begin(), m_list.end(),
                     [&](const std::shared_ptr<CFBOutlookExplorer>& entry) {
                       return entry->m_spExplorer == explorer ||
                              (window != 0 && windowOf(entry->m_spExplorer) == window);
                     });
}

void CMVOutlookExplorerCollBase::RemoveExplorer(CFBOutlookExplorer* object) {
  std::int32_t count = 9999;
  if (m_spExplorers && FAILED(m_spExplorers->GetCount(&count))) {
    count = 9999;
  }
  m_log.debug("re: ec %d", count);
  const auto found = std::find_if(
      m_list.begin(), m_list.end(),
      [object](const std::shared_ptr<CFBOutlookExplorer>& entry) { return entry.get() == object; });
  if (found == m_list.end()) {
    return;
  }
  // The list is whole again before the object can go.
  std::shared_ptr<CFBOutlookExplorer> released = std::move(*found);
  m_list.erase(found);
}

}  // namespace morvane
