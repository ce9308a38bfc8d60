// The driver protocol on the simulated Outlook: commands in, events out, one implementation
// for both transports (the page and the batch mode). A command becomes the user's action on
// the simulated Outlook; what the user would then see becomes events on the hub.
//
// Order: commands run on Outlook's main thread in the order submitted. A command that blocks
// there (a login showing its message boxes) does not hold up the ones behind it: they run in
// the box's nested loop, as clicks do in Outlook, so a script may send "ok" right behind the
// click that will open a box. A "wait" holds up only the commands behind it. At most
// kLongestQueue commands, holding kLongestQueueBytes of text, wait their turn; one more is
// refused at once with an error event that names the limit.
//
// Events: each command ends with one toolbar event per open explorer, whose "cause" names
// the command (an error event instead when it could not be carried out); every timer tick
// that changed a toolbar sends that toolbar, with the cause "timer"; message boxes, opened
// addresses, mails, the cursor and the windows are told as they happen.
//
// Threading: Submit from any thread; the rest on the main thread, where the simulation lives.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <thread>

#include "platform/sim/sim_observer.h"
#include "platform/sim/sim_outlook.h"
#include "tools/zenlet/driver_command.h"
#include "tools/zenlet/event_hub.h"

class CDriver : public ISimObserver {
 public:
  struct Settings {
    nlohmann::ordered_json ready;  // the ready event's fields besides "event"
    bool bAutoOk = false;          // every message box is answered with OK as it opens
    // Called on the main thread for every address the add-in opens, after its event; the
    // batch mode completes the emulator's pages here. May be empty.
    std::function<void(const std::wstring&)> browser;
    // Whether the add-in's client holds a session; read on the main thread.
    std::function<bool()> isLoggedIn;
    // The COM Add-ins dialog's tick box, on the main thread: switch the add-in off (an
    // OnDisconnection without Quit) or on again (an OnConnection while Outlook runs). Each
    // returns why it could not, or an empty text. May be empty: the commands then fail.
    std::function<std::string()> disconnect;
    std::function<std::string()> connect;
  };

  // Observes `outlook` until destroyed.
  CDriver(CSimOutlook& outlook, CEventHub& hub, Settings settings);
  ~CDriver() override;
  CDriver(const CDriver&) = delete;
  CDriver& operator=(const CDriver&) = delete;

  static constexpr std::size_t kLongestQueue = 1000;
  static constexpr std::size_t kLongestQueueBytes = 32 << 20;

  // Main thread: publishes the ready event and the picture as it stands, then takes commands.
  void Start();
  // Any thread: reads one command line. Bad input gets its error event and nothing else.
  void Submit(std::string_view line);
  // Any thread: the program is to end, as after a quit command.
  void RequestQuit();
  // Any thread: the program is to end now, as Ctrl-C asks: a wait in progress ends and the
  // commands still queued are dropped.
  void Interrupt();
  // Main thread, once the message loop has ended: stops taking commands, closes the windows
  // the user left open (each saves the add-in's state as it closes) and fires Quit.
  void CloseOutlook();
  // Publishes the bye event and closes the hub.
  void SayBye();

  void OnMessageBoxShown(const SimMessageBox& box) override;
  void OnMessageBoxClosed(const SimMessageBox& box, int answer) override;
  void OnAddressOpened(const std::wstring& address) override;
  void OnMailDisplayed(const SimMail& mail) override;
  void OnCursorChanged(bool busy) override;
  void OnExplorerOpened(int explorer) override;
  void OnExplorerClosed(int explorer) override;
  void OnTimerFired(TimerId id) override;

 private:
  void Dispatch();
  void Execute(const DriverCommand& command);
  // The command's own action; an error text when it could not be carried out.
  std::string Act(const DriverCommand& command);
  std::string ActOnBar(const DriverCommand& command);
  // Publishes what the simulation told, once started.
  void Tell(const nlohmann::ordered_json& event);
  void PublishExplorers(bool bForce);
  // Every open explorer's toolbar (`bAll`), or those that changed since they were last
  // published, each with its "cause" and, when not null, the command's "ref".
  void PublishToolbars(const char* szCause, const nlohmann::ordered_json& ref, bool bAll);

  CSimOutlook& m_outlook;
  CEventHub& m_hub;
  Settings m_settings;

  // Commands on their way to the main thread, as sent (each is read in its turn, so that a
  // queued one costs no more than its text), and the thread that hands them over one at a
  // time: the next once the main thread has started the last.
  std::mutex m_mutex;
  std::condition_variable m_queued;
  std::deque<std::string> m_aQueue;
  std::size_t m_nQueuedBytes = 0;
  bool m_bPosted = false;  // one was handed to the main thread and has not started yet
  bool m_bStopping = false;
  bool m_bInterrupted = false;
  std::thread m_dispatcher;

  // Main thread only. Nothing is published before Start, which sends the whole picture.
  bool m_bStarted = false;
  // Main thread only: what was last published.
  std::string m_strExplorers;
  std::map<int, std::string> m_toolbars;
};
