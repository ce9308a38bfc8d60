// The status texts the user posted before, newest first, at most 20: one list for the
// process, held by the application object, kept in the options ("UserStatusValues") and
// shown at the head of every explorer's status box. A post from any window changes the one
// list, so no window writes the store from a copy of its own.
//
// Threading: Outlook's main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CFBOpts;

class CRememberedStatuses {
 public:
  static constexpr std::size_t kMostRemembered = 20;

  // `options` must outlive the list.
  explicit CRememberedStatuses(CFBOpts& options) : m_options(options) {}

  // Takes the values the options hold, in stored order, skipping empty ones.
  void LoadFromOptions();
  // Puts a posted `text` at the front, drops what passes the limit and saves the options.
  // `chosen` is the position (from 1) of the remembered value the user picked in a box that
  // showed the list of `shownGeneration`, or 0 for a typed text; the picked value moves to
  // the front. When the list has changed since that box was filled (a post from another
  // window), the picked value is found by its text instead. No other de-duplication is
  // made: a typed text equal to a remembered value is kept twice, as the user typed it again.
  void Remember(std::size_t chosen, std::uint64_t shownGeneration, const std::wstring& text);
  // Writes the values into the options and saves them (a failure is ignored).
  void SaveToOptions();

  const std::vector<std::wstring>& Values() const { return m_aValues; }
  // Grows with every change, so a box can tell that it shows an older list.
  std::uint64_t Generation() const { return m_nGeneration; }

 private:
  CFBOpts& m_options;
  std::vector<std::wstring> m_aValues;  // index 0 = most recently posted
  std::uint64_t m_nGeneration = 0;
};
