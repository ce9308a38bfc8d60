#include "tools/zenlet/driver.h"

#include <chrono>

#include "tools/zenlet/driver_events.h"

CDriver::CDriver(CSimOutlook& outlook, CEventHub& hub, Settings settings)
    : m_outlook(outlook), m_hub(hub), m_settings(std::move(settings)) {
  // Without auto-OK a box stays open until an "ok" command answers it.
  m_outlook.SetMessageBoxPolicy(m_settings.bAutoOk ? SimAnswerAtOnce() : SimMessageBoxPolicy());
  m_outlook.AddObserver(this);
}

CDriver::~CDriver() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStopping = true;
  }
  m_queued.notify_all();
  if (m_dispatcher.joinable()) {
    m_dispatcher.join();
  }
  m_outlook.RemoveObserver(this);
}

void CDriver::Start() {
  m_bStarted = true;
  nlohmann::ordered_json ready = {{"event", "ready"}};
  ready.update(m_settings.ready);
  m_hub.Publish(ready);
  PublishExplorers(true);
  PublishToolbars("start", nullptr, true);
  m_dispatcher = std::thread([this] { Dispatch(); });
}

namespace {

constexpr char kQuitLine[] = R"({"cmd":"quit"})";

// The command a line asks for, or its refusal with the line's ref; a refusal is answered in
// the command's turn, after the events of the commands before it.
DriverCommand ReadCommandLine(std::string_view line) {
  std::string error;
  DriverCommand command;
  if (std::optional<DriverCommand> parsed = ParseDriverCommand(line, &error, &command.ref)) {
    return std::move(*parsed);
  }
  command.strRefusal = std::move(error);
  return command;
}

}  // namespace

void CDriver::Submit(std::string_view line) {
  std::string full;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bStopping) {
      return;
    }
    if (m_aQueue.size() >= kLongestQueue) {
      full = std::to_string(kLongestQueue) + " commands";
    } else if (m_nQueuedBytes + line.size() > kLongestQueueBytes) {
      full = std::to_string(kLongestQueueBytes >> 20) + " MiB of commands";
    } else {
      m_aQueue.emplace_back(line);
      m_nQueuedBytes += line.size();
    }
  }
  if (full.empty()) {
    m_queued.notify_all();
    return;
  }
  // Refused at once: waiting for its turn is what there is no more room for.
  nlohmann::ordered_json event = ErrorEvent("the command queue is full (it holds " + full +
                                            " at most); this command was dropped");
  const DriverCommand refused = ReadCommandLine(line);
  if (!refused.ref.is_null()) {
    event["ref"] = refused.ref;
  }
  m_hub.Publish(event);
}

void CDriver::RequestQuit() {
  // Past the queue's bound too: the end of the input must end the program.
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bStopping) {
      return;
    }
    m_aQueue.emplace_back(kQuitLine);
    m_nQueuedBytes += sizeof kQuitLine - 1;
  }
  m_queued.notify_all();
}

void CDriver::Interrupt() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bStopping) {
      return;
    }
    m_aQueue.clear();
    m_aQueue.emplace_back(kQuitLine);
    m_nQueuedBytes = sizeof kQuitLine - 1;
    m_bInterrupted = true;
  }
  m_queued.notify_all();
}

void CDriver::Dispatch() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_queued.wait(lock, [this] {
      return m_bStopping || (!m_aQueue.empty() && (!m_bPosted || m_bInterrupted));
    });
    if (m_bStopping) {
      return;
    }
    const bool bInterrupted = m_bInterrupted;
    const std::string line = std::move(m_aQueue.front());
    m_aQueue.pop_front();
    m_nQueuedBytes -= line.size();
    lock.unlock();
    const DriverCommand command = ReadCommandLine(line);
    lock.lock();
    if (m_bStopping) {
      return;
    }
    if (m_bInterrupted && !bInterrupted) {
      continue;  // taken before Ctrl-C, which dropped every command but its quit
    }
    if (command.kind == CommandKind::kWait &&
        m_queued.wait_for(lock, std::chrono::milliseconds(command.nMs),
                          [this] { return m_bStopping || m_bInterrupted; })) {
      if (m_bStopping) {
        return;
      }
      continue;  // the quit Interrupt queued is next
    }
    // Nothing after a quit runs.
    m_bStopping = command.kind == CommandKind::kQuit;
    m_bPosted = true;
    m_outlook.Post([this, command] { Execute(command); });
  }
}

void CDriver::Execute(const DriverCommand& command) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bPosted = false;
  }
  m_queued.notify_all();
  std::string error = command.strRefusal;
  if (error.empty()) {
    error = Act(command);
    if (!error.empty()) {
      error = std::string(CommandName(command.kind)) + ": " + error;
    }
  }
  if (!error.empty()) {
    nlohmann::ordered_json event = ErrorEvent(error);
    if (!command.ref.is_null()) {
      event["ref"] = command.ref;
    }
    m_hub.Publish(event);
    return;
  }
  if (command.kind != CommandKind::kQuit) {
    PublishExplorers(false);
    PublishToolbars(CommandName(command.kind), command.ref, true);
  }
}

namespace {

std::string OpenExplorerNumbers(const std::vector<SimExplorerInfo>& explorers) {
  std::string numbers;
  for (const SimExplorerInfo& explorer : explorers) {
    if (explorer.bOpen) {
      numbers += (numbers.empty() ? "" : ", ") + std::to_string(explorer.nNumber);
    }
  }
  return numbers.empty() ? "none is"
                         : numbers + (numbers.find(',') == std::string::npos ? " is" : " are");
}

}  // namespace

std::string CDriver::Act(const DriverCommand& command) {
  if (command.nExplorer != 0) {
    const std::vector<SimExplorerInfo> explorers = m_outlook.Explorers();
    bool bOpen = false;
    for (const SimExplorerInfo& explorer : explorers) {
      bOpen = bOpen || (explorer.nNumber == command.nExplorer && explorer.bOpen);
    }
    if (!bOpen) {
      return "explorer " + std::to_string(command.nExplorer) + " is not open (" +
             OpenExplorerNumbers(explorers) + " open)";
    }
  }
  SimResult result;
  switch (command.kind) {
    case CommandKind::kClick:
    case CommandKind::kType:
    case CommandKind::kChoose:
    case CommandKind::kPick:
      return ActOnBar(command);
    case CommandKind::kSnapshot:
    case CommandKind::kWait:
      break;
    case CommandKind::kTimer:
      m_outlook.FireTimers();
      break;
    case CommandKind::kNewExplorer:
      if (m_outlook.OpenExplorer() == 0) {
        return "no explorer window could be opened";
      }
      break;
    case CommandKind::kActivate:
      result = m_outlook.ActivateExplorer(command.nExplorer);
      break;
    case CommandKind::kClose:
      result = m_outlook.CloseExplorer(command.nExplorer);
      break;
    case CommandKind::kOk:
      if (m_outlook.OpenMessageBoxes().empty()) {
        return "no message box is open";
      }
      result = m_outlook.AnswerMessageBox();
      break;
    case CommandKind::kQuit:
      m_outlook.Quit();
      break;
    case CommandKind::kDisconnect:
    case CommandKind::kConnect: {
      const std::function<std::string()>& tick =
          command.kind == CommandKind::kConnect ? m_settings.connect : m_settings.disconnect;
      return tick ? tick() : std::string("this Outlook has no COM Add-ins dialog");
    }
  }
  return result.Ok() ? std::string() : result.strError;
}

std::string CDriver::ActOnBar(const DriverCommand& command) {
  const int explorer = command.nExplorer;
  const std::optional<SimBarState> bar = m_outlook.ReadBar(explorer, kZenletBarName);
  if (!bar) {
    return "explorer " + std::to_string(explorer) + " has no Zenlet bar";
  }
  const ZenletBarLayout layout = FindZenletControls(*bar);
  SimResult result;
  if (command.kind == CommandKind::kClick) {
    const std::optional<SimControlPath> path = PathOfCommand(*bar, command.nId);
    if (!path) {
      return "no control of the Zenlet bar has the command id " + std::to_string(command.nId) +
             " (0 Facebook, 2 login, 3 logout, 4 check now, 8 feedback, 9 website, 10 about)";
    }
    result = m_outlook.PressButton(explorer, *path);
  } else {
    const bool bStatus = command.kind != CommandKind::kPick;
    const int position = bStatus ? layout.nStatusBox : layout.nNotifications;
    const char* what = bStatus ? "status box" : "notifications drop-down";
    if (position == 0) {
      return "the Zenlet bar of explorer " + std::to_string(explorer) + " has no " + what;
    }
    const SimControlPath path{bar->strName, position, 0, L""};
    if (command.kind == CommandKind::kType) {
      result = m_outlook.TypeText(explorer, path, command.strText, true);
    } else {
      const std::size_t items =
          bar->aControls[static_cast<std::size_t>(position - 1)].aItems.size();
      if (static_cast<std::size_t>(command.nIndex) > items) {
        return "item " + std::to_string(command.nIndex) + " is out of range: the " + what +
               " of explorer " + std::to_string(explorer) + " holds " + std::to_string(items);
      }
      result = m_outlook.PickItem(explorer, path, command.nIndex);
    }
  }
  return result.Ok() ? std::string() : result.strError;
}

void CDriver::CloseOutlook() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStopping = true;
  }
  m_queued.notify_all();
  if (m_dispatcher.joinable()) {
    m_dispatcher.join();
  }
  // As when the user closes the last window: every window's Close, then Quit.
  for (const SimExplorerInfo& explorer : m_outlook.Explorers()) {
    if (explorer.bOpen) {
      m_outlook.CloseExplorer(explorer.nNumber);
    }
  }
  m_outlook.FireQuit();
}

void CDriver::SayBye() {
  m_hub.Publish(ByeEvent());
  m_hub.Close();
}

void CDriver::PublishExplorers(bool bForce) {
  if (!m_bStarted) {
    return;
  }
  nlohmann::ordered_json event = ExplorersEvent(m_outlook.Explorers(), m_outlook.ActiveExplorer());
  std::string text = CEventHub::Serialise(event);
  if (bForce || text != m_strExplorers) {
    m_strExplorers = std::move(text);
    m_hub.Publish(event);
  }
}

void CDriver::PublishToolbars(const char* szCause, const nlohmann::ordered_json& ref, bool bAll) {
  if (!m_bStarted) {
    return;
  }
  const bool bLoggedIn = m_settings.isLoggedIn && m_settings.isLoggedIn();
  std::map<int, std::string> shown;
  for (const SimExplorerInfo& explorer : m_outlook.Explorers()) {
    if (!explorer.bOpen) {
      continue;
    }
    nlohmann::ordered_json event = ToolbarEvent(
        explorer.nNumber, m_outlook.ReadBar(explorer.nNumber, kZenletBarName), bLoggedIn);
    std::string text = CEventHub::Serialise(event);
    const auto last = m_toolbars.find(explorer.nNumber);
    if (bAll || last == m_toolbars.end() || last->second != text) {
      event["cause"] = szCause;
      if (!ref.is_null()) {
        event["ref"] = ref;
      }
      m_hub.Publish(event);
    }
    shown[explorer.nNumber] = std::move(text);
  }
  m_toolbars = std::move(shown);
}

void CDriver::Tell(const nlohmann::ordered_json& event) {
  if (m_bStarted) {
    m_hub.Publish(event);
  }
}

void CDriver::OnMessageBoxShown(const SimMessageBox& box) {
  Tell(MessageBoxEvent(box));
  PublishExplorers(false);
}

void CDriver::OnMessageBoxClosed(const SimMessageBox& box, int answer) {
  Tell(MessageBoxClosedEvent(box, answer));
  PublishExplorers(false);
}

void CDriver::OnAddressOpened(const std::wstring& address) {
  Tell(OpenUrlEvent(address));
  if (m_settings.browser) {
    m_settings.browser(address);
  }
}

void CDriver::OnMailDisplayed(const SimMail& mail) {
  Tell(MailEvent(mail));
}

void CDriver::OnCursorChanged(bool busy) {
  Tell(CursorEvent(busy));
}

void CDriver::OnExplorerOpened(int /*explorer*/) {
  PublishExplorers(false);
}

void CDriver::OnExplorerClosed(int /*explorer*/) {
  PublishExplorers(false);
}

void CDriver::OnTimerFired(TimerId /*id*/) {
  PublishExplorers(false);
  PublishToolbars("timer", nullptr, false);
}
