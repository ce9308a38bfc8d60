// What a person would notice of the simulated Outlook outside its toolbars, told as it
// happens: message boxes, addresses opened in the browser, mail windows, the cursor, windows
// coming and going, and each thread timer tick (after which a toolbar may have changed).
//
// Threading: every call comes on Outlook's main thread, from inside the action that caused
// it; an observer may call the driver from there. It must not be destroyed while it is added.
#pragma once

#include <string>

#include "platform/sim/sim_state.h"
#include "platform/window_system.h"

class ISimObserver {
 public:
  virtual ~ISimObserver() = default;

  // The box is open and its owner disabled; a nested loop runs until it is answered.
  virtual void OnMessageBoxShown(const SimMessageBox& /*box*/) {}
  virtual void OnMessageBoxClosed(const SimMessageBox& /*box*/, int /*answer*/) {}
  virtual void OnAddressOpened(const std::wstring& /*address*/) {}
  virtual void OnMailDisplayed(const SimMail& /*mail*/) {}
  virtual void OnCursorChanged(bool /*busy*/) {}
  virtual void OnExplorerOpened(int /*explorer*/) {}
  virtual void OnExplorerClosed(int /*explorer*/) {}
  virtual void OnTimerFired(TimerId /*id*/) {}
};
