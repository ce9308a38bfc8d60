// The user shell on user32 and shell32: MessageBoxW, the shell's "open" verb for addresses,
// and the system's wait cursor.
#pragma once

#include "platform/user_shell.h"

class CWin32UserShell : public IUserShell {
 public:
  int ShowMessage(WindowHandle owner, const std::wstring& text, const std::wstring& title,
                  std::uint32_t style) override;
  bool OpenAddress(const std::wstring& address) override;
  CursorHandle ShowWaitCursor() override;
  void RestoreCursor(CursorHandle previous) override;
};
