#include "platform/http_transport.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// An HTTP token: a method or a header name.
bool IsToken(const std::string& text) {
  static const char kSymbols[] = "!#$%&'*+-.^_`|~";
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return IsAsciiAlnum(c) || (c != 0 && std::strchr(kSymbols, c) != nullptr);
  });
}

bool HasLineBreakOrNul(const std::string& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

}  // namespace

bool IsAcceptableUserAgent(const std::string& userAgent) {
  return !HasLineBreakOrNul(userAgent);
}

bool IsAcceptableHost(const std::string& host, int port) {
  std::string bare = host;
  if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') {
    bare = bare.substr(1, bare.size() - 2);
  }
  return port >= 1 && port <= 65535 && !bare.empty() && bare.size() <= 255 &&
         std::all_of(bare.begin(), bare.end(), [](char ch) {
           const auto c = static_cast<unsigned char>(ch);
           return IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == ':';
         });
}

bool IsAcceptableRequest(const std::string& verb, const std::string& path) {
  return IsToken(verb) && !path.empty() && path.front() == '/' &&
         std::all_of(path.begin(), path.end(), [](char ch) {
           const auto c = static_cast<unsigned char>(ch);
           return c > 0x20 && c < 0x7F;
         });
}

bool ParseAddableHeader(std::string line, std::string* name, std::string* value) {
  if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) {
    line.resize(line.size() - 2);
  }
  const std::size_t colon = line.find(':');
  if (HasLineBreakOrNul(line) || colon == std::string::npos) {
    return false;
  }
  *name = line.substr(0, colon);
  const std::size_t begin = line.find_first_not_of(" \t", colon + 1);
  const std::size_t end = line.find_last_not_of(" \t");
  *value = begin == std::string::npos ? std::string() : line.substr(begin, end - begin + 1);
  return IsToken(*name) && !SameHeaderName(*name, "Content-Length") &&
         !SameHeaderName(*name, "Transfer-Encoding");
}

bool SameHeaderName(const std::string& left, const std::string& right) {
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
  return left.size() == right.size() &&
         std::equal(left.begin(), left.end(), right.begin(),
                    [&](char a, char b) { return lower(a) == lower(b); });
}
