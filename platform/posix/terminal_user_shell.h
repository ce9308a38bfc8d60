// The user shell of the Linux host: message boxes are written to the terminal (and wait for
// Enter when a person is at it); addresses open with $BROWSER, or xdg-open when that is
// unset.
#pragma once

#include <cstdio>

#include "platform/user_shell.h"

class CTerminalUserShell : public IUserShell {
 public:
  // Boxes are written to `output`; answers are read from standard input when it is a
  // terminal.
  explicit CTerminalUserShell(std::FILE* output = stderr) : m_pOutput(output) {}

  int ShowMessage(WindowHandle owner, const std::wstring& text, const std::wstring& title,
                  std::uint32_t style) override;
  bool OpenAddress(const std::wstring& address) override;
  CursorHandle ShowWaitCursor() override;
  void RestoreCursor(CursorHandle previous) override;

 private:
  std::FILE* m_pOutput;
};
