// The two formatting notations the add-in's texts use, on wide strings:
//   printf style: "%d", "%i", "%u" (also with "l", "ll" or "I64"), "%s" (wide text), "%%";
//   message-format inserts of the string table: "%1!s!", "%2!d!", plain "%1", and the
//   escapes "%n" (line break), "%%", "%!", "%.", "%0" (end of text).
// Arguments are typed values, so a mismatched format can never read past its arguments: a
// missing argument formats as nothing, a number under "%s" as its decimal text, a text under
// "%d" as the text itself.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

class CFormatArg {
 public:
  CFormatArg(int value) : m_bNumber(true), m_nValue(value) {}                 // NOLINT
  CFormatArg(long value) : m_bNumber(true), m_nValue(value) {}                // NOLINT
  CFormatArg(long long value) : m_bNumber(true), m_nValue(value) {}           // NOLINT
  CFormatArg(unsigned value) : m_bNumber(true), m_nValue(value) {}            // NOLINT
  CFormatArg(unsigned long value)                                             // NOLINT
      : m_bNumber(true), m_nValue(static_cast<long long>(value)) {}
  CFormatArg(unsigned long long value)                                        // NOLINT
      : m_bNumber(true), m_nValue(static_cast<long long>(value)) {}
  CFormatArg(const wchar_t* text) : m_strText(text ? text : L"") {}           // NOLINT
  CFormatArg(std::wstring_view text) : m_strText(text) {}                     // NOLINT
  CFormatArg(const std::wstring& text) : m_strText(text) {}                   // NOLINT

  // A number as its decimal text, a text as it stands: what both "%d" and "%s" show.
  std::wstring Render() const;

 private:
  bool m_bNumber = false;
  long long m_nValue = 0;
  std::wstring m_strText;
};

std::wstring FormatPrintf(std::wstring_view format, std::initializer_list<CFormatArg> args);
std::wstring FormatInserts(std::wstring_view format, std::initializer_list<CFormatArg> args);
