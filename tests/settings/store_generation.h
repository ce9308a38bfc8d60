// Options that a test process saves as "generation n": every value changes from one
// generation to the next, so a store holding parts of two saves shows at once.
#pragma once

#include <string>

#include "settings/options.h"

inline void FillGeneration(CFBOpts& options, std::uint32_t n) {
  const std::string text = std::to_string(n);
  options.m_dwToolbarRowIndex = n;
  options.m_dwToolbarLeft = n * 3;
  options.m_dwToolbarPosition = n % 4 + 1;
  options.m_dwStatusFieldWidth = n + 7;
  options.SetSession({"key-" + text, "secret-" + text, text, L"User " + std::to_wstring(n)});
  options.m_aStatusValues.clear();
  for (std::uint32_t i = 0; i <= n % 5; ++i) {
    options.m_aStatusValues.emplace_back(std::to_wstring(n) + L"/" + std::to_wstring(i));
  }
}

// The generation the options hold (0 for nothing saved yet), or -1 when they mix two.
inline long long GenerationOf(CFBOpts& options) {
  const std::uint32_t n = options.m_dwToolbarRowIndex;
  if (n == 0) {
    const bool empty = options.m_dwToolbarLeft == 0 && options.m_strSessionKey.empty() &&
                       options.m_aStatusValues.empty() && options.m_dwStatusFieldWidth == 300;
    return empty ? 0 : -1;
  }
  CFBOpts expected(nullptr, nullptr, nullptr);
  FillGeneration(expected, n);
  const StoredSession session = options.GetSession();
  const StoredSession wanted = {"key-" + std::to_string(n), "secret-" + std::to_string(n),
                                std::to_string(n), L"User " + std::to_wstring(n)};
  bool same = options.m_dwToolbarLeft == expected.m_dwToolbarLeft &&
              options.m_dwToolbarPosition == expected.m_dwToolbarPosition &&
              options.m_dwStatusFieldWidth == expected.m_dwStatusFieldWidth &&
              session.strSessionKey == wanted.strSessionKey &&
              session.strSessionSecret == wanted.strSessionSecret &&
              session.strUid == wanted.strUid && session.strUserName == wanted.strUserName &&
              options.m_aStatusValues.size() == expected.m_aStatusValues.size();
  for (std::size_t i = 0; same && i < expected.m_aStatusValues.size(); ++i) {
    same = options.m_aStatusValues[i].m_strStatus == expected.m_aStatusValues[i].m_strStatus;
  }
  return same ? n : -1;
}
