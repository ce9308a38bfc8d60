#include "platform/win32/win32_user_shell.h"

#include <windows.h>
// After windows.h, whose types it needs.
#include <shellapi.h>

int CWin32UserShell::ShowMessage(WindowHandle owner, const std::wstring& text,
                                 const std::wstring& title, std::uint32_t style) {
  return MessageBoxW(reinterpret_cast<HWND>(owner), text.c_str(), title.c_str(), style);
}

bool CWin32UserShell::OpenAddress(const std::wstring& address) {
  // ShellExecute reports success with a value above 32.
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOW));
  return result > 32;
}

CursorHandle CWin32UserShell::ShowWaitCursor() {
  return reinterpret_cast<CursorHandle>(SetCursor(LoadCursorW(nullptr, IDC_WAIT)));
}

void CWin32UserShell::RestoreCursor(CursorHandle previous) {
  SetCursor(reinterpret_cast<HCURSOR>(previous));
}
