// The shared state of one simulated Outlook: its loop, faults, clipboard, user shell and
// window system, the application's objects, the windows and the message boxes. Internal to
// the simulation. Every object of the model holds the core, so that an object the add-in
// keeps after the simulation has gone still answers (as disconnected) instead of crashing.
//
// Threading: Outlook's main thread, except where the loop says otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_clipboard.h"
#include "platform/sim/sim_faults.h"
#include "platform/sim/sim_message_loop.h"
#include "platform/sim/sim_observer.h"
#include "platform/sim/sim_outlook.h"
#include "platform/sim/sim_state.h"
#include "platform/user_shell.h"
#include "platform/window_system.h"

class CSimApplication;
class CSimCore;
class CSimExplorer;
class CSimExplorers;
class CSimNameSpace;

// Whether a box of `style` has a button that gives `answer` (IDOK, IDCANCEL, ...).
bool IsMessageAnswerOffered(std::uint32_t style, int answer);

class CSimUserShell : public IUserShell {
 public:
  explicit CSimUserShell(CSimCore& core) : m_core(core) {}

  int ShowMessage(WindowHandle owner, const std::wstring& text, const std::wstring& title,
                  std::uint32_t style) override;
  bool OpenAddress(const std::wstring& address) override;
  CursorHandle ShowWaitCursor() override;
  void RestoreCursor(CursorHandle previous) override;

  static constexpr CursorHandle kArrowCursor = 0x10003;
  static constexpr CursorHandle kWaitCursor = 0x10007;

 private:
  CSimCore& m_core;
};

class CSimWindowSystem : public IWindowSystem {
 public:
  CSimWindowSystem(CSimCore& core, OsVersion version) : m_core(core), m_version(version) {}

  TimerId SetThreadTimer(std::uint32_t periodMs, std::function<void()> callback) override;
  bool KillThreadTimer(TimerId id) override;
  WindowHandle GetActiveWindow() override;
  OsVersion GetOsVersion() override { return m_version; }

 private:
  CSimCore& m_core;
  const OsVersion m_version;
};

class CSimCore : public std::enable_shared_from_this<CSimCore> {
 public:
  CSimCore(IClock& clock, const SimOutlookOptions& options);

  // Makes the application's objects; called once the core is owned by a shared_ptr.
  void Start();
  // Outlook goes away: see ~CSimOutlook.
  void ShutDown();
  bool IsShutDown() const { return m_bShutDown; }

  WindowHandle NewWindowHandle();
  // Explorer `number`'s window: the system's when there is a system window system, else a
  // number of the simulation's. 0 when the system could make none.
  WindowHandle NewExplorerWindow(int number);
  void ReleaseExplorerWindow(WindowHandle window);

  // --- windows ---
  std::shared_ptr<CSimExplorer> ExplorerAt(int number) const;  // null when none
  // Open (and closing) explorers, in the order they opened: what Explorers holds.
  std::vector<std::shared_ptr<CSimExplorer>> OpenExplorers() const;
  // The explorer a window belongs to, through the boxes it owns; 0 for none.
  int ExplorerOfWindow(WindowHandle window) const;
  // The open box that disables explorer `number`, null when it is enabled.
  const SimMessageBox* BoxDisabling(int number) const;
  void SetActive(int number);  // 0: none
  // The bars a window opened with the default set-up starts with.
  std::vector<SimBarState> BarsForNewWindow() const;
  void KeepBars(const std::vector<SimBarState>& bars);

  // --- message boxes ---
  struct OpenBox {
    SimMessageBox box;
    bool bAnswered = false;
    int nAnswer = 0;
    std::function<void(int)> close;  // a system box: ends it with the answer
    WindowHandle activeBefore = 0;
  };
  OpenBox* FindOpenBox(int id);
  // Opens `box` (numbered here) and tells the observers; then the policy may answer it.
  // Returns its number.
  int OpenMessageBox(SimMessageBox box, std::function<void(int)> close);
  // Records the answer of an open box, and ends it when it is the system's.
  void Answer(int id, int answer);
  // The box has gone: it leaves the open boxes and the observers hear of it.
  void CloseMessageBox(int id, int answer);

  template <class Call>
  void Notify(Call&& call) {
    const std::vector<ISimObserver*> observers = m_aObservers;
    for (ISimObserver* observer : observers) {
      // One that another observer removed meanwhile is not called.
      for (ISimObserver* current : m_aObservers) {
        if (current == observer) {
          call(*observer);
          break;
        }
      }
    }
  }

  // Objects of the model allocated now: the simulation's own and those others still hold.
  std::atomic<int> m_nLiveObjects{0};

  CSimMessageLoop m_loop;
  CSimFaults m_faults;
  CSimClipboard m_clipboard;
  CSimUserShell m_shell;
  CSimWindowSystem m_windows;
  ISimSystemWindows* const m_pSystemWindows;

  // Outlook's state.
  std::wstring m_strVersion;
  std::map<std::int32_t, std::int32_t> m_folderItems;  // default folder type -> item count
  std::shared_ptr<CSimApplication> m_spApplication;
  std::shared_ptr<CSimExplorers> m_spExplorers;
  std::shared_ptr<CSimNameSpace> m_spNameSpace;
  std::vector<std::shared_ptr<CSimExplorer>> m_aExplorers;  // by number - 1, closed ones too
  std::vector<int> m_aActivation;                           // open ones, last active last
  int m_nActive = 0;
  WindowHandle m_activeWindow = 0;
  std::vector<SimBarState> m_aKeptBars;  // not temporary bars of closed windows

  // Message boxes and what else the user saw.
  std::vector<OpenBox> m_aOpenBoxes;
  std::vector<SimMessageBox> m_aBoxes;
  int m_nLastBox = 0;
  std::optional<SimMessageBoxPolicy> m_policy;  // absent: answer at once
  std::vector<std::wstring> m_aAddresses;
  std::vector<SimMail> m_aMails;
  CursorHandle m_cursor = CSimUserShell::kArrowCursor;
  std::vector<ISimObserver*> m_aObservers;

 private:
  bool m_bShutDown = false;
  WindowHandle m_nLastWindow = 0x000200A0;
};
