// A user shell that records every message box and browser launch instead of showing them.
// A test can react to a box as a user would (for example finish a login in the "browser"
// before answering OK) through `onMessage`.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/user_shell.h"

struct ShownMessage {
  WindowHandle owner;
  std::wstring strText;
  std::wstring strTitle;
  std::uint32_t nStyle;
};

class CRecordingUserShell : public IUserShell {
 public:
  int ShowMessage(WindowHandle owner, const std::wstring& text, const std::wstring& title,
                  std::uint32_t style) override;
  bool OpenAddress(const std::wstring& address) override;
  CursorHandle ShowWaitCursor() override;
  void RestoreCursor(CursorHandle previous) override;

  // The cursor shown now: kArrowCursor until a busy spell, kWaitCursor during one.
  static constexpr CursorHandle kArrowCursor = 1;
  static constexpr CursorHandle kWaitCursor = 2;
  CursorHandle Cursor();

  std::vector<ShownMessage> Messages();
  std::vector<std::wstring> OpenedAddresses();

  // Called with each box before it "returns OK".
  std::function<void(const ShownMessage&)> onMessage;
  // Called with each address opened.
  std::function<void(const std::wstring&)> onOpen;

 private:
  std::mutex m_mutex;
  std::vector<ShownMessage> m_messages;
  std::vector<std::wstring> m_addresses;
  CursorHandle m_cursor = kArrowCursor;
};
