#include "common/format.h"

namespace {

const CFormatArg* ArgAt(std::initializer_list<CFormatArg> args, std::size_t index) {
  return index < args.size() ? args.begin() + index : nullptr;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

std::wstring CFormatArg::Render() const {
  return m_bNumber ? std::to_wstring(m_nValue) : m_strText;
}

std::wstring FormatPrintf(std::wstring_view format, std::initializer_list<CFormatArg> args) {
  std::wstring out;
  out.reserve(format.size() + 16);
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%' || i + 1 == format.size()) {
      out.push_back(format[i]);
      continue;
    }
    std::size_t j = i + 1;
    if (format[j] == L'%') {
      out.push_back(L'%');
      i = j;
      continue;
    }
    // Length modifiers carry no meaning here: the arguments know their own types.
    if (format.compare(j, 3, L"I64") == 0) {
      j += 3;
    } else {
      while (j < format.size() && (format[j] == L'l' || format[j] == L'h')) {
        ++j;
      }
    }
    if (j == format.size()) {
      out.append(format.substr(i));
      break;
    }
    const wchar_t conversion = format[j];
    if (conversion == L'd' || conversion == L'i' || conversion == L'u' || conversion == L's' ||
        conversion == L'S') {
      if (const CFormatArg* arg = ArgAt(args, next++)) {
        out += arg->Render();
      }
    } else {
      out.append(format.substr(i, j - i + 1));  // not ours: kept as written
    }
    i = j;
  }
  return out;
}

std::wstring FormatInserts(std::wstring_view format, std::initializer_list<CFormatArg> args) {
  std::wstring out;
  out.reserve(format.size() + 16);
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%' || i + 1 == format.size()) {
      out.push_back(format[i]);
      continue;
    }
    const wchar_t c = format[i + 1];
    if (c == L'0') {
      break;
    }
    if (c == L'n') {
      out.push_back(L'\n');
      ++i;
      continue;
    }
    if (!IsDigit(c)) {
      out.push_back(c);  // "%%", "%!", "%." and the like stand for the character itself
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    std::size_t number = 0;
    while (j < format.size() && IsDigit(format[j]) && j < i + 3) {
      number = number * 10 + static_cast<std::size_t>(format[j] - L'0');
      ++j;
    }
    // The "!s!" or "!d!" that may follow only names the type, which the argument knows.
    if (j < format.size() && format[j] == L'!') {
      const std::size_t close = format.find(L'!', j + 1);
      if (close != std::wstring_view::npos) {
        j = close + 1;
      }
    }
    if (const CFormatArg* arg = number > 0 ? ArgAt(args, number - 1) : nullptr) {
      out += arg->Render();
    }
    i = j - 1;
  }
  return out;
}
