// The window system on user32: windowless thread timers (SetTimer(NULL, 0, ...)), the
// thread's active window, and the system version as the kernel reports it (RtlGetVersion,
// which, unlike GetVersionEx, does not depend on the host program's manifest).
#pragma once

#include "platform/window_system.h"

class CWin32WindowSystem : public IWindowSystem {
 public:
  TimerId SetThreadTimer(std::uint32_t periodMs, std::function<void()> callback) override;
  bool KillThreadTimer(TimerId id) override;
  WindowHandle GetActiveWindow() override;
  OsVersion GetOsVersion() override;
};
