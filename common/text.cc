#include "common/text.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || IsSurrogate(c)) {
    c = kReplacement;
  }
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendWide(std::wstring& out, char32_t c) {
  if (c > 0x10FFFF || IsSurrogate(c)) {
    c = kReplacement;
  }
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(c));
}

// Decodes one code point of UTF-8 starting at `i`, advancing `i` past it. Overlong forms,
// surrogates and truncated sequences decode to U+FFFD and consume one byte, so decoding
// resynchronises on the next lead byte.
char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  int extra = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    c = lead & 0x1F;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    c = lead & 0x0F;
    minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    c = lead & 0x07;
    minimum = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + extra >= s.size()) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(s[i + k]);
    if ((next & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = (c << 6) | (next & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || IsSurrogate(c)) {
    ++i;
    return kReplacement;
  }
  i += extra + 1;
  return c;
}

// Decodes one code point of a wide string (UTF-16 or UTF-32 by the size of wchar_t).
char32_t DecodeWide(std::wstring_view s, std::size_t& i) {
  char32_t c = static_cast<char32_t>(s[i++]);
  if constexpr (sizeof(wchar_t) == 2) {
    c &= 0xFFFF;
    if (c >= 0xD800 && c <= 0xDBFF && i < s.size()) {
      const char32_t low = static_cast<char32_t>(s[i]) & 0xFFFF;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        ++i;
        return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      }
    }
  }
  return IsSurrogate(c) || c > 0x10FFFF ? kReplacement : c;
}

// A code point that belongs to the character before it.
bool ExtendsCharacter(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) ||    // combining diacritical marks
         (c >= 0x1AB0 && c <= 0x1AFF) ||    // and their extensions
         (c >= 0x1DC0 && c <= 0x1DFF) ||    // and supplement
         (c >= 0x20D0 && c <= 0x20FF) ||    // combining marks for symbols
         (c >= 0xFE20 && c <= 0xFE2F) ||    // combining half marks
         (c >= 0xFE00 && c <= 0xFE0F) ||    // variation selectors
         (c >= 0xE0100 && c <= 0xE01EF) ||  // and their supplement
         (c >= 0x1F3FB && c <= 0x1F3FF) ||  // skin-tone modifiers
         c == 0x200D;                       // zero width joiner
}

constexpr char32_t kZeroWidthJoiner = 0x200D;

// Walks `wide` one user character at a time: calls `at(start)` at the first wide character
// of each, until it returns false.
template <class F>
void ForEachUserCharacter(std::wstring_view wide, F at) {
  char32_t previous = 0;
  for (std::size_t i = 0; i < wide.size();) {
    const std::size_t start = i;
    const char32_t c = DecodeWide(wide, i);
    const bool continues = start != 0 && (ExtendsCharacter(c) || previous == kZeroWidthJoiner);
    previous = c;
    if (!continues && !at(start)) {
      return;
    }
  }
}

void AppendUtf16Le(std::vector<std::uint8_t>& out, char16_t unit) {
  out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  out.push_back(static_cast<std::uint8_t>(unit >> 8));
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    AppendWide(out, DecodeUtf8(utf8, i));
  }
  return out;
}

std::string WideToUtf8(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size();) {
    AppendUtf8(out, DecodeWide(wide, i));
  }
  return out;
}

std::vector<std::uint8_t> WideToUtf16Le(std::wstring_view wide, bool withTerminator) {
  std::vector<std::uint8_t> out;
  out.reserve(2 * (wide.size() + 1));
  for (std::size_t i = 0; i < wide.size();) {
    char32_t c = DecodeWide(wide, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      AppendUtf16Le(out, static_cast<char16_t>(0xD800 + (c >> 10)));
      AppendUtf16Le(out, static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      AppendUtf16Le(out, static_cast<char16_t>(c));
    }
  }
  if (withTerminator) {
    AppendUtf16Le(out, 0);
  }
  return out;
}

std::wstring Utf16LeToWide(const std::uint8_t* bytes, std::size_t size) {
  std::wstring out;
  const std::size_t units = size / 2;
  for (std::size_t i = 0; i < units; ++i) {
    char32_t c = static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    if (c == 0) {
      break;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
      const char32_t low = static_cast<char32_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    AppendWide(out, c);
  }
  return out;
}

std::size_t Utf16Length(std::wstring_view wide) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < wide.size();) {
    units += DecodeWide(wide, i) >= 0x10000 ? 2 : 1;
  }
  return units;
}

std::size_t CountUserCharacters(std::wstring_view wide) {
  std::size_t count = 0;
  ForEachUserCharacter(wide, [&count](std::size_t) {
    ++count;
    return true;
  });
  return count;
}

std::size_t UserCharactersLength(std::wstring_view wide, std::size_t count) {
  std::size_t length = wide.size();
  std::size_t seen = 0;
  ForEachUserCharacter(wide, [&](std::size_t start) {
    if (seen == count) {
      length = start;
      return false;
    }
    ++seen;
    return true;
  });
  return length;
}
