// The COM test Outlook's side of the window system: what makes the simulated Outlook's main
// thread the thread of a real Windows program, so that zenlet.dll's own windows, message
// boxes and timers run as they would in Outlook.
//
// - A message-only window pumps the simulation: its wake events (CreateWakeEvent of the
//   clock made here) wait while dispatching the thread's messages, and every post to the
//   simulation also posts to the window, so that work handed to the main thread runs inside
//   any modal loop the add-in enters (a message box's), as clicks do in Outlook.
// - Explorer windows are real top-level windows (ISimSystemWindows).
// - The add-in's message boxes are seen through the thread's window hooks: once open, their
//   title, text, style (buttons, icon, topmost) and owner join the simulation's boxes, which
//   answers them by pressing the button (WM_COMMAND); their end is told as they go.
// - The add-in's thread timers are seen as their WM_TIMER messages are taken from the queue;
//   each tick is told to the simulation after it has run, and FireThreadTimers runs them now
//   (before the first tick it waits for it, at most kFirstTickWaitMs).
// - The browser (zenlet-test-browser) tells the window, through WM_COPYDATA, each address it
//   has worked; the address then counts as opened in the simulation's shell.
//
// Threading: made, used and destroyed on the main thread; the wake events' Signal from any.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>

#include "platform/clock.h"
#include "platform/sim/sim_outlook.h"
#include "platform/win32/win32_clock.h"

// The dwData of the browser's WM_COPYDATA; its data is the address as UTF-16.
inline constexpr ULONG_PTR kBrowserReport = 0x5A4C4252;
// The environment variable through which the browser, a child of this process, finds the
// window: its handle in hexadecimal.
inline constexpr const wchar_t* kHostWindowVariable = L"ZENLET_TEST_OUTLOOK_WINDOW";

class CHostWindows : public ISimSystemWindows, public IClock {
 public:
  static constexpr DWORD kFirstTickWaitMs = 6000;

  // Registers the window classes, makes the pump window and publishes its handle in the
  // environment for the browser; installs the thread's hooks. One per process.
  CHostWindows();
  ~CHostWindows() override;
  CHostWindows(const CHostWindows&) = delete;
  CHostWindows& operator=(const CHostWindows&) = delete;

  // The simulation whose boxes, ticks and addresses these are; null to let go of it.
  void Attach(CSimOutlook* outlook);

  // ISimSystemWindows.
  WindowHandle CreateExplorerWindow(int explorer) override;
  void DestroyExplorerWindow(WindowHandle window) override;
  int FireThreadTimers() override;

  // IClock: the system's, with wake events that pump this thread's messages.
  std::int64_t Now() override { return m_clock.Now(); }
  std::uint32_t TickCount() override { return m_clock.TickCount(); }
  std::int64_t PerformanceCounter() override { return m_clock.PerformanceCounter(); }
  std::int64_t PerformanceFrequency() override { return m_clock.PerformanceFrequency(); }
  LocalDate Today() override { return m_clock.Today(); }
  std::unique_ptr<IWakeEvent> CreateWakeEvent() override;

  // Any thread: the simulation has work for the main thread.
  void RequestRun();

 private:
  static LRESULT CALLBACK PumpProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK CallWndProcHook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK CallWndProcReturnHook(int code, WPARAM wParam, LPARAM lParam);

  LRESULT OnPumpMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnBoxOpened(HWND box);
  void OnWindowDestroyed(HWND window);
  // Dispatches the thread's waiting messages.
  static void PumpWaiting();

  CWin32Clock m_clock;
  HWND m_hPump = nullptr;
  HHOOK m_hGetMessage = nullptr;
  HHOOK m_hCallWndProc = nullptr;
  HHOOK m_hCallWndProcReturn = nullptr;
  CSimOutlook* m_pOutlook = nullptr;
  std::atomic<bool> m_bRunPosted{false};
  std::map<HWND, int> m_boxes;          // open boxes, by window, with their numbers
  std::map<UINT_PTR, LPARAM> m_timers;  // thread timers seen ticking: id, procedure
};
