// Window-system seam: what the add-in needs of the UI thread it lives on besides Outlook's
// objects: thread timers, the thread's active window and the system's version.
//
// Threading: every operation is called on the UI thread (Outlook's main thread), and timer
// callbacks run there, dispatched by that thread's message loop: never while another piece
// of add-in code runs on it, except inside a modal loop that the add-in itself entered (a
// message box), where timers go on firing as the system's own modal loops let them.
// Errors: reported by results; nothing throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/user_shell.h"

// A thread timer's id; 0 means none.
using TimerId = std::uintptr_t;

struct OsVersion {
  std::uint32_t nMajor = 0;
  std::uint32_t nMinor = 0;
};

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;

  // A timer without a window (SetTimer(NULL, 0, periodMs, ...)): `callback` runs on this
  // thread about every `periodMs` while the thread dispatches messages; ticks that fall due
  // while it is busy are merged into one. Returns the timer's id, 0 when none could be made.
  virtual TimerId SetThreadTimer(std::uint32_t periodMs, std::function<void()> callback) = 0;
  // Ends a timer; no callback of it starts afterwards. false for an id that is not running.
  // A callback may kill its own timer.
  virtual bool KillThreadTimer(TimerId id) = 0;

  // The thread's active window (GetActiveWindow), 0 when it has none.
  virtual WindowHandle GetActiveWindow() = 0;

  // The version of the system the add-in runs on (5.1 for Windows XP).
  virtual OsVersion GetOsVersion() = 0;
};
