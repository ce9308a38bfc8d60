#include "platform/sim/sim_outlook.h"

#include <algorithm>
#include <utility>

#include "common/text.h"
#include "platform/sim/sim_core.h"
#include "platform/sim/sim_objects.h"
#include "platform/sim/sim_platform.h"

namespace {

std::string Quoted(const std::wstring& text) {
  return "\"" + WideToUtf8(text) + "\"";
}

SimResult WrongThread() {
  return SimResult::Failure(sim_error::kWrongThread,
                            "the simulated Outlook is driven from its main thread only");
}

SimResult Gone() {
  return SimResult::Failure(sim_error::kDisconnected, "Outlook has gone");
}

// Checks that the driver may act at all: the main thread, a live Outlook.
SimResult CheckDriver(const CSimCore& core) {
  if (!core.m_loop.IsLoopThread()) {
    return WrongThread();
  }
  return core.IsShutDown() ? Gone() : SimResult{};
}

// Explorer `number`, open and not disabled by a message box, as user input needs it.
SimResult InputExplorer(const CSimCore& core, int number, std::shared_ptr<CSimExplorer>* out) {
  SimResult result = CheckDriver(core);
  if (!result.Ok()) {
    return result;
  }
  std::shared_ptr<CSimExplorer> explorer = core.ExplorerAt(number);
  const std::string name = "explorer " + std::to_string(number);
  if (!explorer) {
    return SimResult::Failure(E_INVALIDARG, "there is no " + name);
  }
  if (explorer->GetState() == CSimExplorer::State::kClosed) {
    return SimResult::Failure(E_INVALIDARG, name + " is closed");
  }
  if (explorer->GetState() == CSimExplorer::State::kClosing) {
    return SimResult::Failure(E_INVALIDARG, name + " is closing");
  }
  if (const SimMessageBox* box = core.BoxDisabling(number)) {
    return SimResult::Failure(
        sim_error::kWindowDisabled,
        name + " is disabled while its message box " + Quoted(box->strTitle) + " is open");
  }
  *out = std::move(explorer);
  return result;
}

SimResult Unreachable(const std::string& what, const SimControlState& state) {
  if (!state.bVisible) {
    return SimResult::Failure(E_ACCESSDENIED, what + " is hidden");
  }
  if (!state.bEnabled) {
    return SimResult::Failure(E_ACCESSDENIED, what + " is disabled");
  }
  return {};
}

// The control `path` names in `explorer`, if the user can reach it: its bar, its menu and
// itself visible and enabled. `what` describes it for error texts.
SimResult ResolveControl(const CSimExplorer& explorer, const SimControlPath& path,
                         std::shared_ptr<CSimControlNode>* out, std::string* what) {
  const std::shared_ptr<CSimCommandBar> bar = explorer.Bars().Find(path.strBar);
  const std::string barName = "bar " + Quoted(path.strBar);
  if (!bar) {
    return SimResult::Failure(
        E_INVALIDARG, "explorer " + std::to_string(explorer.Number()) + " has no " + barName);
  }
  if (!bar->Placement().bVisible) {
    return SimResult::Failure(E_ACCESSDENIED, barName + " is hidden");
  }
  std::shared_ptr<CSimControlNode> popup;
  std::shared_ptr<CSimControlNode> node;
  const auto& controls = bar->Controls();
  if (!path.strCaption.empty()) {
    *what = "control " + Quoted(path.strCaption);
    for (const auto& control : controls) {
      if (SameCaption(control->State().strCaption, path.strCaption)) {
        node = control;
        break;
      }
      if (CSimCommandBar* menu = control->Menu()) {
        for (const auto& item : menu->Controls()) {
          if (SameCaption(item->State().strCaption, path.strCaption)) {
            popup = control;
            node = item;
            break;
          }
        }
        if (node) {
          break;
        }
      }
    }
    if (!node) {
      return SimResult::Failure(E_INVALIDARG, barName + " has no " + *what);
    }
  } else {
    *what = "control " + std::to_string(path.nControl) + " of " + barName;
    if (path.nControl < 1 || path.nControl > static_cast<int>(controls.size())) {
      return SimResult::Failure(E_INVALIDARG, barName + " has " + std::to_string(controls.size()) +
                                                  " controls, so no " + *what);
    }
    node = controls[static_cast<std::size_t>(path.nControl - 1)];
    if (path.nMenuItem > 0) {
      CSimCommandBar* menu = node->Menu();
      if (menu == nullptr) {
        return SimResult::Failure(E_INVALIDARG, *what + " is not a menu");
      }
      const auto& items = menu->Controls();
      popup = node;
      const std::string menuName = *what;
      *what = "item " + std::to_string(path.nMenuItem) + " of the menu of " + menuName;
      if (path.nMenuItem > static_cast<int>(items.size())) {
        return SimResult::Failure(E_INVALIDARG, "the menu of " + menuName + " has " +
                                                    std::to_string(items.size()) +
                                                    " items, so no " + *what);
      }
      node = items[static_cast<std::size_t>(path.nMenuItem - 1)];
    }
  }
  if (popup) {
    SimResult result = Unreachable("the menu " + Quoted(popup->State().strCaption), popup->State());
    if (!result.Ok()) {
      return result;
    }
  }
  SimResult result = Unreachable(*what, node->State());
  if (result.Ok()) {
    *out = std::move(node);
  }
  return result;
}

void CollectTagged(const std::vector<std::shared_ptr<CSimControlNode>>& controls,
                   const std::wstring& tag, const CSimControlNode* clicked,
                   std::vector<std::shared_ptr<CSimButton>>* found) {
  for (const auto& control : controls) {
    if (control.get() != clicked && control->State().nType == office::kControlButton &&
        control->State().strTag == tag) {
      found->push_back(std::static_pointer_cast<CSimButton>(control));
    }
    if (CSimCommandBar* menu = control->Menu()) {
      CollectTagged(menu->Controls(), tag, clicked, found);
    }
  }
}

// One press: the clicked button's sinks hear it first, then those of every other button
// with its tag, as Office links controls by tag.
void Click(const CSimCore& core, const std::shared_ptr<CSimButton>& clicked) {
  std::vector<std::shared_ptr<CSimButton>> buttons{clicked};
  const std::wstring tag = clicked->State().strTag;
  if (!tag.empty()) {
    for (const auto& explorer : core.OpenExplorers()) {
      for (const auto& bar : explorer->Bars().Bars()) {
        CollectTagged(bar->Controls(), tag, clicked.get(), &buttons);
      }
    }
  }
  bool cancelDefault = false;
  for (const auto& button : buttons) {
    if (!button->IsDeleted()) {
      button->FireClick(&cancelDefault);
    }
  }
}

// Explorer `number` becomes active and hears of it.
void Activate(CSimCore& core, int number) {
  core.SetActive(number);
  if (const std::shared_ptr<CSimExplorer> explorer = core.ExplorerAt(number)) {
    explorer->FireActivate();
  }
}

// The default button of a box, as Enter presses it.
int DefaultAnswer(std::uint32_t style) {
  switch (style & 0xF) {
    case 2:
      return 3;  // IDABORT
    case 3:
    case 4:
      return 6;  // IDYES
    case 5:
      return 4;  // IDRETRY
    case 6:
      return 2;  // IDCANCEL
    default:
      return kMessageAnswerOk;
  }
}

}  // namespace

std::vector<SimBarState> SimDefaultBars() {
  SimBarState menu;
  menu.strName = L"Menu Bar";
  menu.nRowIndex = 1;
  menu.bMenuBar = true;
  SimBarState standard;
  standard.strName = L"Standard";
  standard.nRowIndex = 2;
  return {menu, standard};
}

SimMessageBoxPolicy SimAnswerAtOnce(int answer) {
  return [answer](const SimMessageBox&) { return std::optional<int>(answer); };
}

CSimOutlook::CSimOutlook(IClock& clock, SimOutlookOptions options)
    : m_spCore(std::make_shared<CSimCore>(clock, options)) {
  m_spCore->Start();
}

CSimOutlook::~CSimOutlook() {
  m_spCore->ShutDown();
}

void CSimOutlook::End() {
  m_spCore->ShutDown();
}

// --- what the add-in is given ------------------------------------------------------------------

std::shared_ptr<IAutomationObject> CSimOutlook::ApplicationArgument(
    bool answersOutlookApplication) {
  return std::make_shared<CSimAutomationObject>(m_spCore, answersOutlookApplication);
}

std::shared_ptr<IAutomationObject> CSimOutlook::AddInInstanceArgument() {
  return std::make_shared<CSimAutomationObject>(m_spCore, false);
}

std::shared_ptr<IOutlookApplication> CSimOutlook::Application() {
  return m_spCore->m_spApplication;
}

std::shared_ptr<IOutlookExplorer> CSimOutlook::Explorer(int explorer) {
  return IsMainThread() ? m_spCore->ExplorerAt(explorer) : nullptr;
}

IUserShell& CSimOutlook::UserShell() {
  return m_spCore->m_shell;
}
IWindowSystem& CSimOutlook::WindowSystem() {
  return m_spCore->m_windows;
}
IClipboard& CSimOutlook::Clipboard() {
  return m_spCore->m_clipboard;
}
CSimClipboard& CSimOutlook::SimClipboard() {
  return m_spCore->m_clipboard;
}
CSimFaults& CSimOutlook::Faults() {
  return m_spCore->m_faults;
}

// --- the message loop --------------------------------------------------------------------------

bool CSimOutlook::IsMainThread() const {
  return m_spCore->m_loop.IsLoopThread();
}
void CSimOutlook::Post(std::function<void()> task) {
  m_spCore->m_loop.Post(std::move(task));
}
int CSimOutlook::RunPending() {
  return m_spCore->m_loop.RunPending();
}
void CSimOutlook::RunUntil(const std::function<bool()>& done) {
  m_spCore->m_loop.RunUntil(done);
}
void CSimOutlook::Run() {
  m_spCore->m_loop.Run();
}
void CSimOutlook::Quit() {
  m_spCore->m_loop.Quit();
}
int CSimOutlook::FireTimers() {
  int fired = m_spCore->m_loop.FireTimersNow();
  if (ISimSystemWindows* system = m_spCore->m_pSystemWindows; system != nullptr && IsMainThread()) {
    fired += system->FireThreadTimers();
  }
  return fired;
}
int CSimOutlook::TimerCount() const {
  return m_spCore->m_loop.TimerCount();
}

// --- settings ----------------------------------------------------------------------------------

void CSimOutlook::SetVersion(const std::wstring& version) {
  if (IsMainThread()) {
    m_spCore->m_strVersion = version;
  }
}

void CSimOutlook::SetInboxCount(std::int32_t count) {
  if (IsMainThread()) {
    m_spCore->m_folderItems[outlook::kFolderInbox] = count;
  }
}

void CSimOutlook::SetMessageBoxPolicy(SimMessageBoxPolicy policy) {
  if (IsMainThread()) {
    m_spCore->m_policy = std::move(policy);
  }
}

void CSimOutlook::AddObserver(ISimObserver* observer) {
  std::vector<ISimObserver*>& observers = m_spCore->m_aObservers;
  if (IsMainThread() && observer != nullptr &&
      std::find(observers.begin(), observers.end(), observer) == observers.end()) {
    observers.push_back(observer);
  }
}

void CSimOutlook::RemoveObserver(ISimObserver* observer) {
  std::vector<ISimObserver*>& observers = m_spCore->m_aObservers;
  if (IsMainThread()) {
    observers.erase(std::remove(observers.begin(), observers.end(), observer), observers.end());
  }
}

// --- driver: windows and application events ----------------------------------------------------

int CSimOutlook::OpenExplorer(const SimExplorerSetup& setup) {
  CSimCore& core = *m_spCore;
  if (!CheckDriver(core).Ok()) {
    return 0;
  }
  const int number = static_cast<int>(core.m_aExplorers.size()) + 1;
  const WindowHandle window = core.NewExplorerWindow(number);
  if (window == 0) {
    return 0;
  }
  auto explorer = std::make_shared<CSimExplorer>(
      m_spCore, number, window, setup.bars ? *setup.bars : core.BarsForNewWindow());
  core.m_aExplorers.push_back(explorer);
  const std::shared_ptr<CSimExplorers> explorers = core.m_spExplorers;
  explorers->FireNewExplorer(explorer);
  // A NewExplorer handler may have closed the window, or ended Outlook.
  if (core.IsShutDown()) {
    return number;
  }
  if (setup.bActivate && explorer->GetState() == CSimExplorer::State::kOpen) {
    Activate(core, number);
  }
  core.Notify([number](ISimObserver& observer) { observer.OnExplorerOpened(number); });
  return number;
}

SimResult CSimOutlook::CloseExplorer(int explorer) {
  CSimCore& core = *m_spCore;
  std::shared_ptr<CSimExplorer> closing;
  SimResult result = InputExplorer(core, explorer, &closing);
  if (!result.Ok()) {
    return result;
  }
  closing->SetState(CSimExplorer::State::kClosing);
  closing->FireClose();
  if (core.IsShutDown()) {
    return result;
  }
  core.KeepBars(closing->Destroy());
  core.ReleaseExplorerWindow(closing->Window());
  core.m_aActivation.erase(
      std::remove(core.m_aActivation.begin(), core.m_aActivation.end(), explorer),
      core.m_aActivation.end());
  const bool wasActive = core.m_nActive == explorer;
  if (wasActive) {
    core.SetActive(0);
  }
  core.Notify([explorer](ISimObserver& observer) { observer.OnExplorerClosed(explorer); });
  // The window that was active before it takes over.
  if (wasActive && !core.m_aActivation.empty()) {
    Activate(core, core.m_aActivation.back());
  }
  return result;
}

SimResult CSimOutlook::ActivateExplorer(int explorer) {
  CSimCore& core = *m_spCore;
  std::shared_ptr<CSimExplorer> target;
  SimResult result = InputExplorer(core, explorer, &target);
  if (!result.Ok()) {
    return result;
  }
  if (core.m_nActive == explorer) {
    result.hr = S_FALSE;  // already active: the system sends no activation
    return result;
  }
  Activate(core, explorer);
  return result;
}

void CSimOutlook::ClearActiveExplorer() {
  if (CheckDriver(*m_spCore).Ok()) {
    m_spCore->SetActive(0);
  }
}

SimResult CSimOutlook::ChangeSelection(int explorer) {
  std::shared_ptr<CSimExplorer> target;
  SimResult result = InputExplorer(*m_spCore, explorer, &target);
  if (result.Ok()) {
    target->FireSelectionChange();
  }
  return result;
}

SimResult CSimOutlook::FireStartup() {
  SimResult result = CheckDriver(*m_spCore);
  if (result.Ok()) {
    const std::shared_ptr<CSimApplication> application = m_spCore->m_spApplication;
    application->FireStartup();
  }
  return result;
}

SimResult CSimOutlook::FireQuit() {
  SimResult result = CheckDriver(*m_spCore);
  if (result.Ok()) {
    const std::shared_ptr<CSimApplication> application = m_spCore->m_spApplication;
    application->FireQuit();
  }
  return result;
}

// --- driver: the toolbar -----------------------------------------------------------------------

SimResult CSimOutlook::PressButton(int explorer, const SimControlPath& path) {
  std::shared_ptr<CSimExplorer> target;
  SimResult result = InputExplorer(*m_spCore, explorer, &target);
  std::shared_ptr<CSimControlNode> node;
  std::string what;
  if (result.Ok()) {
    result = ResolveControl(*target, path, &node, &what);
  }
  if (!result.Ok()) {
    return result;
  }
  if (node->Menu() != nullptr) {
    return SimResult::Failure(E_INVALIDARG, what + " is a menu: name one of its items");
  }
  if (node->State().nType != office::kControlButton) {
    return SimResult::Failure(E_INVALIDARG, what + " is not a button");
  }
  Click(*m_spCore, std::static_pointer_cast<CSimButton>(node));
  return result;
}

SimResult CSimOutlook::TypeText(int explorer, const SimControlPath& path, const std::wstring& text,
                                bool pressEnter) {
  std::shared_ptr<CSimExplorer> target;
  SimResult result = InputExplorer(*m_spCore, explorer, &target);
  std::shared_ptr<CSimControlNode> node;
  std::string what;
  if (result.Ok()) {
    result = ResolveControl(*target, path, &node, &what);
  }
  if (!result.Ok()) {
    return result;
  }
  const std::int32_t type = node->State().nType;
  if (type == office::kControlDropdown) {
    return SimResult::Failure(E_INVALIDARG, what + " is a drop-down: it cannot be typed into");
  }
  if (type != office::kControlComboBox && type != CSimComboBox::kEditBox) {
    return SimResult::Failure(E_INVALIDARG, what + " is not a box to type into");
  }
  auto box = std::static_pointer_cast<CSimComboBox>(node);
  box->UserSetsText(text);
  if (pressEnter) {
    box->FireChange();
  }
  return result;
}

SimResult CSimOutlook::PickItem(int explorer, const SimControlPath& path, int index) {
  std::shared_ptr<CSimExplorer> target;
  SimResult result = InputExplorer(*m_spCore, explorer, &target);
  std::shared_ptr<CSimControlNode> node;
  std::string what;
  if (result.Ok()) {
    result = ResolveControl(*target, path, &node, &what);
  }
  if (!result.Ok()) {
    return result;
  }
  const std::int32_t type = node->State().nType;
  if (type != office::kControlComboBox && type != office::kControlDropdown) {
    return SimResult::Failure(E_INVALIDARG, what + " has no list to pick from");
  }
  const auto count = static_cast<int>(node->State().aItems.size());
  if (index < 1 || index > count) {
    return SimResult::Failure(E_INVALIDARG, what + " has " + std::to_string(count) +
                                                " items, so no item " + std::to_string(index));
  }
  auto box = std::static_pointer_cast<CSimComboBox>(node);
  box->UserPicks(index);
  box->FireChange();
  return result;
}

// --- driver: message boxes ---------------------------------------------------------------------

std::vector<SimMessageBox> CSimOutlook::OpenMessageBoxes() const {
  std::vector<SimMessageBox> boxes;
  if (IsMainThread()) {
    for (const CSimCore::OpenBox& open : m_spCore->m_aOpenBoxes) {
      boxes.push_back(open.box);
    }
  }
  return boxes;
}

SimResult CSimOutlook::AnswerMessageBox(int boxId, int answer) {
  SimResult result = CheckDriver(*m_spCore);
  if (!result.Ok()) {
    return result;
  }
  CSimCore::OpenBox* open = m_spCore->FindOpenBox(boxId);
  const std::string name = "message box " + std::to_string(boxId);
  if (open == nullptr) {
    return SimResult::Failure(E_INVALIDARG, name + " is not open");
  }
  if (open->bAnswered) {
    return SimResult::Failure(E_INVALIDARG, name + " is answered already");
  }
  if (!IsMessageAnswerOffered(open->box.nStyle, answer)) {
    return SimResult::Failure(E_INVALIDARG,
                              name + " has no button that answers " + std::to_string(answer));
  }
  m_spCore->Answer(boxId, answer);
  return result;
}

SimResult CSimOutlook::AnswerMessageBox() {
  SimResult result = CheckDriver(*m_spCore);
  if (!result.Ok()) {
    return result;
  }
  const std::vector<CSimCore::OpenBox>& boxes = m_spCore->m_aOpenBoxes;
  for (auto it = boxes.rbegin(); it != boxes.rend(); ++it) {
    if (!it->bAnswered) {
      return AnswerMessageBox(it->box.nId, DefaultAnswer(it->box.nStyle));
    }
  }
  return SimResult::Failure(E_INVALIDARG, "no message box is waiting for an answer");
}

// --- the system's own message boxes and timer ticks --------------------------------------------

int CSimOutlook::AddSystemMessageBox(WindowHandle owner, WindowHandle window,
                                     const std::wstring& title, const std::wstring& text,
                                     std::uint32_t style, std::function<void(int answer)> close) {
  if (!CheckDriver(*m_spCore).Ok()) {
    return 0;
  }
  SimMessageBox box;
  box.owner = owner;
  box.window = window;
  box.strTitle = title;
  box.strText = text;
  box.nStyle = style;
  return m_spCore->OpenMessageBox(box, std::move(close));
}

void CSimOutlook::RemoveSystemMessageBox(int boxId, int answer) {
  if (IsMainThread()) {
    m_spCore->CloseMessageBox(boxId, answer);
  }
}

void CSimOutlook::NotifyTimerFired(TimerId id) {
  if (CheckDriver(*m_spCore).Ok()) {
    m_spCore->Notify([id](ISimObserver& observer) { observer.OnTimerFired(id); });
  }
}

// --- readback ----------------------------------------------------------------------------------

std::optional<SimBarState> CSimOutlook::ReadBar(int explorer, const std::wstring& name) const {
  if (!IsMainThread()) {
    return std::nullopt;
  }
  const std::shared_ptr<CSimExplorer> target = m_spCore->ExplorerAt(explorer);
  if (!target || target->IsDeleted()) {
    return std::nullopt;
  }
  const std::shared_ptr<CSimCommandBar> bar = target->Bars().Find(name);
  if (!bar) {
    return std::nullopt;
  }
  return bar->Read();
}

std::vector<SimBarState> CSimOutlook::ReadBars(int explorer) const {
  std::vector<SimBarState> bars;
  const std::shared_ptr<CSimExplorer> target =
      IsMainThread() ? m_spCore->ExplorerAt(explorer) : nullptr;
  if (target && !target->IsDeleted()) {
    for (const auto& bar : target->Bars().Bars()) {
      bars.push_back(bar->Read());
    }
  }
  return bars;
}

std::vector<SimExplorerInfo> CSimOutlook::Explorers() const {
  std::vector<SimExplorerInfo> explorers;
  if (!IsMainThread()) {
    return explorers;
  }
  for (const auto& explorer : m_spCore->m_aExplorers) {
    SimExplorerInfo info;
    info.nNumber = explorer->Number();
    info.window = explorer->Window();
    info.bOpen = explorer->GetState() != CSimExplorer::State::kClosed;
    info.bActive = m_spCore->m_nActive == info.nNumber;
    info.bEnabled = m_spCore->BoxDisabling(info.nNumber) == nullptr;
    info.nSinksLeftAtClose = explorer->SinksLeftAtClose();
    explorers.push_back(info);
  }
  return explorers;
}

int CSimOutlook::ActiveExplorer() const {
  return IsMainThread() ? m_spCore->m_nActive : 0;
}

int CSimOutlook::ApplicationSinkCount() const {
  const auto& application = m_spCore->m_spApplication;
  return IsMainThread() && application ? application->SinkCount() : 0;
}

int CSimOutlook::ExplorersSinkCount() const {
  const auto& explorers = m_spCore->m_spExplorers;
  return IsMainThread() && explorers ? explorers->SinkCount() : 0;
}

int CSimOutlook::ExplorerSinkCount(int explorer) const {
  const std::shared_ptr<CSimExplorer> target =
      IsMainThread() ? m_spCore->ExplorerAt(explorer) : nullptr;
  return target && !target->IsDeleted() ? target->SinkCount() : 0;
}

int CSimOutlook::LiveObjects() const {
  return m_spCore->m_nLiveObjects.load();
}

std::vector<SimMessageBox> CSimOutlook::MessageBoxes() const {
  return IsMainThread() ? m_spCore->m_aBoxes : std::vector<SimMessageBox>();
}

std::vector<std::wstring> CSimOutlook::OpenedAddresses() const {
  return IsMainThread() ? m_spCore->m_aAddresses : std::vector<std::wstring>();
}

std::vector<SimMail> CSimOutlook::DisplayedMails() const {
  return IsMainThread() ? m_spCore->m_aMails : std::vector<SimMail>();
}

bool CSimOutlook::CursorBusy() const {
  return IsMainThread() && m_spCore->m_cursor == CSimUserShell::kWaitCursor;
}

// --- wiring ------------------------------------------------------------------------------------

void WireSimulatedHost(CSimOutlook& outlook, Platform* platform) {
  platform->pShell = &outlook.UserShell();
  platform->pWindowSystem = &outlook.WindowSystem();
  platform->pClipboard = &outlook.Clipboard();
}
