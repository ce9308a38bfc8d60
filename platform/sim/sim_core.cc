#include "platform/sim/sim_core.h"

#include <algorithm>
#include <utility>

#include "platform/sim/sim_objects.h"

namespace {

// The default folders of a mail profile (olFolderDeletedItems 3 to olFolderJunk 23).
constexpr std::int32_t kDefaultFolders[] = {3, 4, 5, 6, 9, 10, 11, 12, 13, 16, 23};

}  // namespace

bool IsMessageAnswerOffered(std::uint32_t style, int answer) {
  constexpr int kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7,
                kTryAgain = 10, kContinue = 11;
  switch (style & 0xF) {
    case 0:
      return answer == kOk;
    case 1:
      return answer == kOk || answer == kCancel;
    case 2:
      return answer == kAbort || answer == kRetry || answer == kIgnore;
    case 3:
      return answer == kYes || answer == kNo || answer == kCancel;
    case 4:
      return answer == kYes || answer == kNo;
    case 5:
      return answer == kRetry || answer == kCancel;
    case 6:
      return answer == kCancel || answer == kTryAgain || answer == kContinue;
    default:
      return false;
  }
}

CSimCore::CSimCore(IClock& clock, const SimOutlookOptions& options)
    : m_loop(clock),
      m_clipboard(m_loop, m_faults),
      m_shell(*this),
      m_windows(*this, options.osVersion),
      m_pSystemWindows(options.pSystemWindows),
      m_strVersion(options.strVersion) {
  for (std::int32_t folder : kDefaultFolders) {
    m_folderItems[folder] = 0;
  }
  m_folderItems[outlook::kFolderInbox] = options.nInboxCount;
}

void CSimCore::Start() {
  const std::shared_ptr<CSimCore> self = shared_from_this();
  m_spApplication = std::make_shared<CSimApplication>(self);
  m_spExplorers = std::make_shared<CSimExplorers>(self);
  m_spNameSpace = std::make_shared<CSimNameSpace>(self);
  m_loop.SetTimerHook(
      [this](TimerId id) { Notify([id](ISimObserver& observer) { observer.OnTimerFired(id); }); });
}

void CSimCore::ShutDown() {
  if (m_bShutDown) {
    return;
  }
  m_bShutDown = true;
  m_loop.Shutdown();
  // Break the cycles between the core and its objects; what the add-in still holds stays
  // allocated and answers as disconnected.
  for (const auto& explorer : m_aExplorers) {
    if (explorer->GetState() != CSimExplorer::State::kClosed) {
      ReleaseExplorerWindow(explorer->Window());
    }
    explorer->Destroy();
  }
  m_aExplorers.clear();
  m_aActivation.clear();
  m_nActive = 0;
  if (m_spApplication) {
    m_spApplication->Destroy();
  }
  if (m_spExplorers) {
    m_spExplorers->Destroy();
  }
  m_spApplication.reset();
  m_spExplorers.reset();
  m_spNameSpace.reset();
  m_policy.reset();
  m_aObservers.clear();
}

WindowHandle CSimCore::NewWindowHandle() {
  m_nLastWindow += 0x10;
  return m_nLastWindow;
}

WindowHandle CSimCore::NewExplorerWindow(int number) {
  return m_pSystemWindows != nullptr ? m_pSystemWindows->CreateExplorerWindow(number)
                                     : NewWindowHandle();
}

void CSimCore::ReleaseExplorerWindow(WindowHandle window) {
  if (m_pSystemWindows != nullptr && window != 0) {
    m_pSystemWindows->DestroyExplorerWindow(window);
  }
}

std::shared_ptr<CSimExplorer> CSimCore::ExplorerAt(int number) const {
  if (number < 1 || number > static_cast<int>(m_aExplorers.size())) {
    return nullptr;
  }
  return m_aExplorers[static_cast<std::size_t>(number - 1)];
}

std::vector<std::shared_ptr<CSimExplorer>> CSimCore::OpenExplorers() const {
  std::vector<std::shared_ptr<CSimExplorer>> open;
  for (const auto& explorer : m_aExplorers) {
    if (explorer->GetState() != CSimExplorer::State::kClosed) {
      open.push_back(explorer);
    }
  }
  return open;
}

int CSimCore::ExplorerOfWindow(WindowHandle window) const {
  if (window == 0) {
    return 0;
  }
  for (const auto& explorer : m_aExplorers) {
    if (explorer->Window() == window) {
      return explorer->GetState() == CSimExplorer::State::kClosed ? 0 : explorer->Number();
    }
  }
  for (const OpenBox& open : m_aOpenBoxes) {
    if (open.box.window == window) {
      return open.box.nExplorer;
    }
  }
  return 0;
}

const SimMessageBox* CSimCore::BoxDisabling(int number) const {
  for (const OpenBox& open : m_aOpenBoxes) {
    if (open.box.nExplorer == number && number != 0) {
      return &open.box;
    }
  }
  return nullptr;
}

void CSimCore::SetActive(int number) {
  m_aActivation.erase(std::remove(m_aActivation.begin(), m_aActivation.end(), number),
                      m_aActivation.end());
  m_nActive = number;
  m_activeWindow = 0;
  if (const std::shared_ptr<CSimExplorer> explorer = ExplorerAt(number)) {
    m_aActivation.push_back(number);
    m_activeWindow = explorer->Window();
  }
}

std::vector<SimBarState> CSimCore::BarsForNewWindow() const {
  std::vector<SimBarState> bars = SimDefaultBars();
  for (const SimBarState& kept : m_aKeptBars) {
    auto same = std::find_if(bars.begin(), bars.end(), [&](const SimBarState& bar) {
      return SameCaption(bar.strName, kept.strName);
    });
    if (same != bars.end()) {
      *same = kept;
    } else {
      bars.push_back(kept);
    }
  }
  return bars;
}

void CSimCore::KeepBars(const std::vector<SimBarState>& bars) {
  for (const SimBarState& bar : bars) {
    auto same = std::find_if(m_aKeptBars.begin(), m_aKeptBars.end(), [&](const SimBarState& kept) {
      return SameCaption(kept.strName, bar.strName);
    });
    if (same != m_aKeptBars.end()) {
      *same = bar;
    } else {
      m_aKeptBars.push_back(bar);
    }
  }
}

CSimCore::OpenBox* CSimCore::FindOpenBox(int id) {
  for (OpenBox& open : m_aOpenBoxes) {
    if (open.box.nId == id) {
      return &open;
    }
  }
  return nullptr;
}

int CSimCore::OpenMessageBox(SimMessageBox box, std::function<void(int)> close) {
  box.nId = ++m_nLastBox;
  box.nExplorer = ExplorerOfWindow(box.owner);
  OpenBox open;
  open.box = box;
  open.close = std::move(close);
  open.activeBefore = m_activeWindow;
  m_aOpenBoxes.push_back(std::move(open));
  m_aBoxes.push_back(box);
  m_activeWindow = box.window;
  Notify([&](ISimObserver& observer) { observer.OnMessageBoxShown(box); });

  if (!m_policy) {
    Answer(box.nId, kMessageAnswerOk);
  } else if (*m_policy) {
    const SimMessageBoxPolicy policy = *m_policy;
    if (const std::optional<int> answer = policy(box)) {
      Answer(box.nId, *answer);
    }
  }
  return box.nId;
}

void CSimCore::Answer(int id, int answer) {
  OpenBox* open = FindOpenBox(id);
  if (open == nullptr || open->bAnswered) {
    return;
  }
  open->bAnswered = true;
  open->nAnswer = answer;
  if (open->close) {
    const std::function<void(int)> close = open->close;
    close(answer);
  }
}

void CSimCore::CloseMessageBox(int id, int answer) {
  auto it = std::find_if(m_aOpenBoxes.begin(), m_aOpenBoxes.end(),
                         [&](const OpenBox& open) { return open.box.nId == id; });
  if (it == m_aOpenBoxes.end()) {
    return;
  }
  const SimMessageBox box = it->box;
  const WindowHandle activeBefore = it->activeBefore;
  if (it->bAnswered) {
    answer = it->nAnswer;
  }
  m_aOpenBoxes.erase(it);
  if (m_activeWindow == box.window) {
    m_activeWindow = box.owner != 0 ? box.owner : activeBefore;
  }
  Notify([&](ISimObserver& observer) { observer.OnMessageBoxClosed(box, answer); });
}

// --- user shell --------------------------------------------------------------------------------

int CSimUserShell::ShowMessage(WindowHandle owner, const std::wstring& text,
                               const std::wstring& title, std::uint32_t style) {
  CSimCore& core = m_core;
  if (!core.m_loop.IsLoopThread() || core.IsShutDown() ||
      FAILED(core.m_faults.OnCall("MessageBox"))) {
    return 0;
  }
  // The box's loop may run anything, the end of the simulation included.
  const std::shared_ptr<CSimCore> keepAlive = core.shared_from_this();

  SimMessageBox box;
  box.owner = owner;
  box.window = core.NewWindowHandle();
  box.strTitle = title;
  box.strText = text;
  box.nStyle = style;
  const int id = core.OpenMessageBox(box, nullptr);
  core.m_loop.RunUntil([&] {
    const CSimCore::OpenBox* open = core.FindOpenBox(id);
    return open == nullptr || open->bAnswered;
  });
  const CSimCore::OpenBox* open = core.FindOpenBox(id);
  const int answer = open != nullptr && open->bAnswered ? open->nAnswer : 0;  // 0: quitting
  core.CloseMessageBox(id, answer);
  return answer;
}

bool CSimUserShell::OpenAddress(const std::wstring& address) {
  CSimCore& core = m_core;
  if (!core.m_loop.IsLoopThread() || core.IsShutDown() ||
      FAILED(core.m_faults.OnCall("ShellExecute")) || address.empty()) {
    return false;
  }
  core.m_aAddresses.push_back(address);
  core.Notify([&](ISimObserver& observer) { observer.OnAddressOpened(address); });
  return true;
}

CursorHandle CSimUserShell::ShowWaitCursor() {
  CSimCore& core = m_core;
  if (!core.m_loop.IsLoopThread()) {
    return 0;
  }
  const CursorHandle previous = core.m_cursor;
  core.m_cursor = kWaitCursor;
  if (previous != kWaitCursor) {
    core.Notify([](ISimObserver& observer) { observer.OnCursorChanged(true); });
  }
  return previous;
}

void CSimUserShell::RestoreCursor(CursorHandle previous) {
  CSimCore& core = m_core;
  if (!core.m_loop.IsLoopThread()) {
    return;
  }
  const bool wasBusy = core.m_cursor == kWaitCursor;
  core.m_cursor = previous;
  const bool busy = previous == kWaitCursor;
  if (busy != wasBusy) {
    core.Notify([busy](ISimObserver& observer) { observer.OnCursorChanged(busy); });
  }
}

// --- window system -----------------------------------------------------------------------------

TimerId CSimWindowSystem::SetThreadTimer(std::uint32_t periodMs, std::function<void()> callback) {
  if (!m_core.m_loop.IsLoopThread() || m_core.IsShutDown() ||
      FAILED(m_core.m_faults.OnCall("SetTimer"))) {
    return 0;
  }
  return m_core.m_loop.SetTimer(periodMs, std::move(callback));
}

bool CSimWindowSystem::KillThreadTimer(TimerId id) {
  return m_core.m_loop.KillTimer(id);
}

WindowHandle CSimWindowSystem::GetActiveWindow() {
  return m_core.m_loop.IsLoopThread() ? m_core.m_activeWindow : 0;
}
