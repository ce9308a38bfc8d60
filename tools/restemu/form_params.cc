#include "tools/restemu/form_params.h"

#include <utility>

void CRequestParams::Set(std::string name, std::string value) {
  auto found = m_mapIndex.find(name);
  if (found != m_mapIndex.end()) {
    m_aItems[found->second].strValue = std::move(value);
    return;
  }
  m_mapIndex.emplace(name, m_aItems.size());
  m_aItems.push_back({std::move(name), std::move(value)});
}

const std::string* CRequestParams::Find(std::string_view name) const {
  auto found = m_mapIndex.find(std::string(name));
  return found == m_mapIndex.end() ? nullptr : &m_aItems[found->second].strValue;
}

std::string CRequestParams::Get(std::string_view name) const {
  const std::string* value = Find(name);
  return value ? *value : std::string();
}

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

}  // namespace

std::string UrlDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
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

void ParseUrlEncoded(std::string_view text, CRequestParams& params) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('&', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    const std::string_view pair = text.substr(start, end - start);
    const std::size_t equals = pair.find('=');
    std::string name = UrlDecode(pair.substr(0, equals));
    if (!name.empty()) {
      params.Set(std::move(name), equals == std::string_view::npos
                                      ? std::string()
                                      : UrlDecode(pair.substr(equals + 1)));
    }
    start = end + 1;
  }
}
