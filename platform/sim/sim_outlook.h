// The simulated Outlook: Outlook's object model and Office's command bars behind the Outlook
// host seam, the main thread's message loop, the user shell, window system and clipboard
// that go with them, fault injection, and a driver that acts as the user would (open and
// close windows, press buttons, type into boxes, answer message boxes) and reads back what
// the user would see.
//
//   CSimOutlook outlook(clock);
//   int first = outlook.OpenExplorer();        // before the add-in connects
//   connect.OnConnection(outlook.ApplicationArgument(), ..., outlook.AddInInstanceArgument());
//   outlook.PressButton(first, {L"Zenlet", 1});
//   std::optional<SimBarState> bar = outlook.ReadBar(first, L"Zenlet");
//
// Behaviour copied from Office and Outlook, so that what fails there fails here:
// - Objects of a closed window, and every object once the simulation is destroyed, answer
//   sim_error::kDisconnected. Temporary bars and controls vanish with their window; bars
//   added as not temporary come back in windows opened later, without their temporary
//   controls. A new bar is hidden until made visible; two bars cannot share a name.
// - A click reaches the sinks of every button, in any open window, that has the clicked
//   button's tag (a button with no tag only its own).
// - Combo boxes: AddItem appends; setting ListIndex shows that item's text; Clear empties
//   the list and the text. Picking an item sets ListIndex and Text and raises Change; typing
//   sets Text and ListIndex 0 and, with Enter, raises Change. A drop-down cannot be typed
//   into. An edit box (type 2) has no list.
// - A message box is modal to its owner: while it is open, driver input to that explorer is
//   refused; other explorers and timers go on, inside the box's nested loop.
// - When the active explorer closes, the one active before it becomes active again and
//   receives Activate.
//
// Driver actions and readbacks are for Outlook's main thread, the thread that made the
// simulation: called elsewhere they fail with sim_error::kWrongThread. Other threads hand
// work to the main thread with Post.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/outlook_host.h"
#include "platform/sim/sim_faults.h"
#include "platform/sim/sim_observer.h"
#include "platform/sim/sim_state.h"
#include "platform/user_shell.h"
#include "platform/window_system.h"

class CSimClipboard;
class CSimCore;

// The real window system of Outlook's main thread, for a simulation whose add-in calls the
// system itself instead of the simulation's seams (zenlet.dll in the COM test Outlook): the
// explorers get real windows, so that the add-in's message boxes have real owners, and the
// `timer` the driver fires includes the thread timers the add-in made there. Main thread only.
class ISimSystemWindows {
 public:
  virtual ~ISimSystemWindows() = default;
  // A window for explorer `explorer`; 0 when none could be made.
  virtual WindowHandle CreateExplorerWindow(int explorer) = 0;
  virtual void DestroyExplorerWindow(WindowHandle window) = 0;
  // Runs the callback of every thread timer others made on this thread now; how many ran.
  virtual int FireThreadTimers() = 0;
};

struct SimOutlookOptions {
  std::wstring strVersion = L"16.0.0.4266";  // what _Application.Version answers
  OsVersion osVersion{10, 0};                // what the window system reports
  std::int32_t nInboxCount = 0;
  ISimSystemWindows* pSystemWindows = nullptr;  // not owned; outlives the simulation
};

// How a message box is answered when it opens: with an answer it closes at once; without
// one it stays open until AnswerMessageBox. The policy runs on the main thread while the box
// is open (its owner disabled), so it may first act as the user would elsewhere: approve a
// page in the browser, advance the clock and run the timers, use another explorer.
// Until SetMessageBoxPolicy, every box is answered at once with kMessageAnswerOk.
using SimMessageBoxPolicy = std::function<std::optional<int>(const SimMessageBox& box)>;

// The policy that answers every box at once with `answer`.
SimMessageBoxPolicy SimAnswerAtOnce(int answer = kMessageAnswerOk);

// The bars a new explorer window starts with: "Menu Bar" and "Standard", both empty.
std::vector<SimBarState> SimDefaultBars();

struct SimExplorerSetup {
  bool bActivate = true;  // the new window becomes the active explorer
  // The bars the window starts with; when absent, the default bars and the bars that earlier
  // windows added as not temporary.
  std::optional<std::vector<SimBarState>> bars;
};

class CSimOutlook {
 public:
  explicit CSimOutlook(IClock& clock, SimOutlookOptions options = {});
  // Outlook goes away: timers stop, windows vanish without events, and every object the
  // add-in still holds answers sim_error::kDisconnected.
  ~CSimOutlook();
  // The process ends as the destructor ends Outlook, while this object (and its readback)
  // stays: what LiveObjects counts afterwards is what someone else still holds.
  void End();
  CSimOutlook(const CSimOutlook&) = delete;
  CSimOutlook& operator=(const CSimOutlook&) = delete;

  // --- What the add-in is given --------------------------------------------------------

  // OnConnection's Application argument: it answers QueryOutlookApplication with the
  // application, or, with `answersOutlookApplication` false, is an Application without
  // _Application.
  std::shared_ptr<IAutomationObject> ApplicationArgument(bool answersOutlookApplication = true);
  // OnConnection's AddInInst argument (no _Application behind it).
  std::shared_ptr<IAutomationObject> AddInInstanceArgument();
  std::shared_ptr<IOutlookApplication> Application();
  // Explorer `explorer`'s object, null when no such explorer ever opened.
  std::shared_ptr<IOutlookExplorer> Explorer(int explorer);

  IUserShell& UserShell();
  IWindowSystem& WindowSystem();
  IClipboard& Clipboard();
  CSimClipboard& SimClipboard();
  CSimFaults& Faults();

  // --- The message loop ----------------------------------------------------------------

  bool IsMainThread() const;
  // Any thread: runs `task` on the main thread after the work posted before it.
  void Post(std::function<void()> task);
  // Runs what is ready (posted work, timers due by the clock) without waiting; returns how
  // many tasks and callbacks ran.
  int RunPending();
  // Runs work, waiting for more, until `done()` holds or Quit is asked.
  void RunUntil(const std::function<bool()>& done);
  // Runs work until Quit; open message boxes are closed with answer 0 on the way out. Boxes
  // shown after it returns follow the policy again: a program that disconnects the add-in
  // then sets one that answers.
  void Run();
  // Any thread.
  void Quit();

  // Runs every thread timer's callback now, as if it had fallen due; returns how many ran.
  int FireTimers();
  int TimerCount() const;

  // --- Settings ------------------------------------------------------------------------

  void SetVersion(const std::wstring& version);
  void SetInboxCount(std::int32_t count);
  // A null policy leaves every box open until AnswerMessageBox.
  void SetMessageBoxPolicy(SimMessageBoxPolicy policy);
  void AddObserver(ISimObserver* observer);
  void RemoveObserver(ISimObserver* observer);

  // --- Driver: windows and application events --------------------------------------------

  // Opens a new explorer window: it joins Explorers, NewExplorer fires with it and, when
  // `setup.bActivate`, it becomes active and receives Activate. Returns its number, 0 when
  // none could be opened.
  int OpenExplorer(const SimExplorerSetup& setup = {});
  // Close fires on the window's sinks; then it leaves Explorers and its objects vanish.
  SimResult CloseExplorer(int explorer);
  // The window becomes active; Activate fires unless it already was.
  SimResult ActivateExplorer(int explorer);
  // The user turns to another program: no explorer is active.
  void ClearActiveExplorer();
  SimResult ChangeSelection(int explorer);
  SimResult FireStartup();
  SimResult FireQuit();

  // --- Driver: the toolbar ---------------------------------------------------------------

  // Presses a button or a menu item; the control, its bar (and menu) must be visible and
  // enabled.
  SimResult PressButton(int explorer, const SimControlPath& path);
  // Types `text` into a combo box or edit box, replacing what it showed, and presses Enter
  // when `pressEnter`.
  SimResult TypeText(int explorer, const SimControlPath& path, const std::wstring& text,
                     bool pressEnter = true);
  // Picks item `index` (from 1) of a combo box's or drop-down's list.
  SimResult PickItem(int explorer, const SimControlPath& path, int index);

  // --- Driver: message boxes -------------------------------------------------------------

  std::vector<SimMessageBox> OpenMessageBoxes() const;
  // Answers the box `boxId` (kMessageAnswerOk, or another button its style offers). Its
  // ShowMessage returns once the boxes opened after it are closed, as nested loops unwind.
  SimResult AnswerMessageBox(int boxId, int answer = kMessageAnswerOk);
  // Answers the box opened last of those still open.
  SimResult AnswerMessageBox();

  // --- The system's own message boxes and timer ticks (with ISimSystemWindows) -----------

  // A message box the system shows on the main thread, told once it is open: it joins the
  // open boxes, disables its owner's explorer and meets the answer policy as the
  // simulation's own boxes do, and observers hear of it. Answering it calls `close` with the
  // answer, which is to end the box. Returns its number.
  int AddSystemMessageBox(WindowHandle owner, WindowHandle window, const std::wstring& title,
                          const std::wstring& text, std::uint32_t style,
                          std::function<void(int answer)> close);
  // The system's box `boxId` has gone; `answer` counts when it was not answered through the
  // driver (0 when unknown).
  void RemoveSystemMessageBox(int boxId, int answer);
  // A thread timer of the system has just run its callback: observers hear of it as of a
  // timer of the simulation's own.
  void NotifyTimerFired(TimerId id);

  // --- Readback ------------------------------------------------------------------------

  // The bar of that name in an open explorer, with every control and menu item.
  std::optional<SimBarState> ReadBar(int explorer, const std::wstring& name) const;
  std::vector<SimBarState> ReadBars(int explorer) const;
  std::vector<SimExplorerInfo> Explorers() const;
  // The active explorer's number, 0 when none is active.
  int ActiveExplorer() const;
  // Sinks advised now on the application, on the Explorers collection, and on one window's
  // objects (its explorer events and every control of its bars).
  int ApplicationSinkCount() const;
  int ExplorersSinkCount() const;
  int ExplorerSinkCount(int explorer) const;
  // Objects of Outlook's and Office's model allocated now. After End, each one is an object
  // that someone outside the simulation still holds: the add-in should hold none.
  int LiveObjects() const;

  // What the user saw outside the toolbars, from the start.
  std::vector<SimMessageBox> MessageBoxes() const;
  std::vector<std::wstring> OpenedAddresses() const;
  std::vector<SimMail> DisplayedMails() const;
  bool CursorBusy() const;

 private:
  std::shared_ptr<CSimCore> m_spCore;
};
