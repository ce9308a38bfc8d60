#include "tools/http_front/http_text.h"

#include <utility>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

std::string Decode(std::string_view text, bool bPlusIsBlank) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+' && bPlusIsBlank) {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::string UrlDecode(std::string_view text) {
  return Decode(text, true);
}

std::string PercentDecode(std::string_view text) {
  return Decode(text, false);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) {
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void ReadUrlEncoded(std::string_view text,
                    const std::function<bool(std::string name, std::string value)>& take) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('&', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    const std::string_view pair = text.substr(start, end - start);
    const std::size_t equals = pair.find('=');
    if (!take(UrlDecode(pair.substr(0, equals)), equals == std::string_view::npos
                                                     ? std::string()
                                                     : UrlDecode(pair.substr(equals + 1)))) {
      return;
    }
    start = end + 1;
  }
}

std::optional<std::string> QueryValue(std::string_view query, std::string_view name) {
  std::optional<std::string> found;
  ReadUrlEncoded(query, [&](std::string key, std::string value) {
    if (key == name) {
      found = std::move(value);
    }
    return !found;
  });
  return found;
}
