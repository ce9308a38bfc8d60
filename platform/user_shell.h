// User-shell seam: what the add-in shows the user outside Outlook's own windows.
//
// Threading: called on Outlook's main thread only. Errors: reported by results, never thrown.
#pragma once

#include <cstdint>
#include <string>

// A native window handle carried as a number; 0 means none.
using WindowHandle = std::uintptr_t;
// A cursor as the system identifies it, carried as a number; 0 means none.
using CursorHandle = std::uintptr_t;

// Message box styles, with the system's values.
namespace message_style {
inline constexpr std::uint32_t kOk = 0x0;
inline constexpr std::uint32_t kIconError = 0x10;
inline constexpr std::uint32_t kIconInformation = 0x40;
inline constexpr std::uint32_t kTopMost = 0x40000;
}  // namespace message_style

// What a message box returns when the user confirms it (the system's IDOK).
inline constexpr int kMessageAnswerOk = 1;

class IUserShell {
 public:
  virtual ~IUserShell() = default;

  // Shows a modal message box owned by `owner` and returns when the user has answered, with
  // the answer (kMessageAnswerOk for OK), or 0 if no box could be shown.
  virtual int ShowMessage(WindowHandle owner, const std::wstring& text, const std::wstring& title,
                          std::uint32_t style) = 0;

  // Opens `address` in the user's default browser without waiting for it. false when no
  // browser could be started.
  virtual bool OpenAddress(const std::wstring& address) = 0;

  // Shows the busy cursor while the main thread blocks, and returns the cursor it replaced.
  virtual CursorHandle ShowWaitCursor() = 0;
  // Brings back a cursor that ShowWaitCursor returned. Nested busy spells restore in reverse
  // order, so the outermost restore leaves the cursor as it was before the first.
  virtual void RestoreCursor(CursorHandle previous) = 0;
};
