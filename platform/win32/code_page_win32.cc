// On Windows the 8-bit code page is the system's ANSI code page; characters it lacks become
// its default character, as the system's own conversion makes them.
#include <windows.h>

#include "common/text.h"

std::string WideToAnsi(std::wstring_view wide) {
  if (wide.empty()) {
    return {};
  }
  const int length = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, ansi.data(), size, nullptr, nullptr);
  }
  return ansi;
}

std::wstring AnsiToWide(std::string_view ansi) {
  if (ansi.empty()) {
    return {};
  }
  const int length = static_cast<int>(ansi.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) {
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), size);
  }
  return wide;
}
