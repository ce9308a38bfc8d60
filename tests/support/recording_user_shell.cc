#include "tests/support/recording_user_shell.h"

int CRecordingUserShell::ShowMessage(WindowHandle owner, const std::wstring& text,
                                     const std::wstring& title, std::uint32_t style) {
  const ShownMessage message{owner, text, title, style};
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back(message);
  }
  if (onMessage) {
    onMessage(message);
  }
  return kMessageAnswerOk;
}

bool CRecordingUserShell::OpenAddress(const std::wstring& address) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_addresses.push_back(address);
  }
  if (onOpen) {
    onOpen(address);
  }
  return true;
}

CursorHandle CRecordingUserShell::ShowWaitCursor() {
  std::lock_guard<std::mutex> lock(m_mutex);
  const CursorHandle previous = m_cursor;
  m_cursor = kWaitCursor;
  return previous;
}

void CRecordingUserShell::RestoreCursor(CursorHandle previous) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_cursor = previous;
}

CursorHandle CRecordingUserShell::Cursor() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_cursor;
}

std::vector<ShownMessage> CRecordingUserShell::Messages() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_messages;
}

std::vector<std::wstring> CRecordingUserShell::OpenedAddresses() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_addresses;
}
