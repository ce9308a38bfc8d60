// On POSIX systems the 8-bit code page is UTF-8.
#include "common/text.h"

std::string WideToAnsi(std::wstring_view wide) { return WideToUtf8(wide); }

std::wstring AnsiToWide(std::string_view ansi) { return Utf8ToWide(ansi); }
