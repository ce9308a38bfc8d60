// Conversions between the text forms the add-in meets: UTF-8 in 8-bit strings (requests,
// session values), wide strings (user-visible text; UTF-16 on Windows, UTF-32 elsewhere) and
// UTF-16LE bytes (what is stored or protected keeps that form on every platform).
//
// Malformed input never throws: an invalid UTF-8 sequence, a lone surrogate or a value beyond
// U+10FFFF becomes U+FFFD, so a damaged answer or store value still reads as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// The UTF-16LE bytes of `wide`, with a terminating NUL (two zero bytes) when asked for.
std::vector<std::uint8_t> WideToUtf16Le(std::wstring_view wide, bool withTerminator);

// Reads UTF-16LE bytes up to the first NUL code unit or the end; an odd trailing byte is
// ignored.
std::wstring Utf16LeToWide(const std::uint8_t* bytes, std::size_t size);

// Number of UTF-16 code units of `wide` (what the registry counts as characters).
std::size_t Utf16Length(std::wstring_view wide);

// Characters as the user sees them: a surrogate pair is one, and so is a base character
// together with the combining marks, variation selectors, skin-tone modifiers and
// zero-width-joined parts that follow it.
std::size_t CountUserCharacters(std::wstring_view wide);
// The number of wide characters that the first `count` user characters of `wide` take; all
// of `wide` when it has no more.
std::size_t UserCharactersLength(std::wstring_view wide, std::size_t count);

// Text for places that take the system's 8-bit code page (log lines, the log file's name).
// Windows converts to the ANSI code page, lossily; other systems use UTF-8.
std::string WideToAnsi(std::wstring_view wide);
std::wstring AnsiToWide(std::string_view ansi);
