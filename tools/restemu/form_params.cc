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

void ParseUrlEncoded(std::string_view text, CRequestParams& params) {
  ReadUrlEncoded(text, [&params](std::string name, std::string value) {
    if (!name.empty()) {
      params.Set(std::move(name), std::move(value));
    }
    return true;
  });
}

namespace {

// The parameters of a header value such as `form-data; name="a"; filename="b.txt"`, in
// order, names in lower case; a quoted value loses its quotes and backslashes.
std::vector<std::pair<std::string, std::string>> HeaderParameters(std::string_view value,
                                                                  std::string& first) {
  std::vector<std::pair<std::string, std::string>> parameters;
  std::size_t i = value.find(';');
  first = std::string(Trimmed(value.substr(0, i)));
  while (i != std::string_view::npos && i < value.size()) {
    ++i;
    const std::size_t equals = value.find('=', i);
    const std::size_t semicolon = value.find(';', i);
    if (equals == std::string_view::npos || equals > semicolon) {
      i = semicolon;
      continue;
    }
    std::string name(Trimmed(value.substr(i, equals - i)));
    for (char& c : name) {
      c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    std::size_t j = equals + 1;
    while (j < value.size() && (value[j] == ' ' || value[j] == '\t')) {
      ++j;
    }
    std::string text;
    if (j < value.size() && value[j] == '"') {
      for (++j; j < value.size() && value[j] != '"'; ++j) {
        if (value[j] == '\\' && j + 1 < value.size()) {
          ++j;
        }
        text.push_back(value[j]);
      }
      i = value.find(';', j);
    } else {
      i = value.find(';', j);
      text = std::string(Trimmed(value.substr(j, i == std::string_view::npos ? i : i - j)));
    }
    parameters.emplace_back(std::move(name), std::move(text));
  }
  return parameters;
}

}  // namespace

std::string MultipartBoundary(std::string_view contentType) {
  std::string type;
  for (const auto& [name, value] : HeaderParameters(contentType, type)) {
    if (name == "boundary") {
      return value;
    }
  }
  return std::string();
}

bool ParseMultipart(std::string_view body, std::string_view boundary, CRequestParams& params) {
  if (boundary.empty() || boundary.size() > 200) {
    return false;
  }
  const std::string delimiter = "--" + std::string(boundary);
  // The first delimiter opens the body or a line of its own; what comes before is preamble.
  std::size_t pos = body.rfind(delimiter, 0) == 0 ? 0 : body.find("\n" + delimiter);
  if (pos == std::string_view::npos) {
    return false;
  }
  pos = body.find(delimiter, pos) + delimiter.size();
  for (;;) {
    if (body.substr(pos, 2) == "--") {
      return true;
    }
    while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t')) {
      ++pos;
    }
    pos += body.substr(pos, 1) == "\r" ? 1 : 0;
    if (body.substr(pos, 1) != "\n") {
      return false;
    }
    ++pos;

    std::string name;
    bool bNamed = false;
    bool bFile = false;
    for (;;) {
      const std::size_t end = body.find('\n', pos);
      if (end == std::string_view::npos) {
        return false;
      }
      std::string_view line = body.substr(pos, end - pos);
      pos = end + 1;
      if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
      }
      if (line.empty()) {
        break;
      }
      const std::size_t colon = line.find(':');
      if (colon == std::string_view::npos) {
        return false;
      }
      if (!EqualsNoCase(Trimmed(line.substr(0, colon)), "Content-Disposition")) {
        continue;
      }
      std::string disposition;
      for (const auto& [key, value] : HeaderParameters(line.substr(colon + 1), disposition)) {
        if (key == "name") {
          name = value;
          bNamed = EqualsNoCase(disposition, "form-data");
        }
        bFile = bFile || key == "filename" || key == "filename*";
      }
    }

    const std::size_t next = body.find("\n" + delimiter, pos);
    if (next == std::string_view::npos) {
      return false;
    }
    const std::size_t contentEnd = next > pos && body[next - 1] == '\r' ? next - 1 : next;
    if (bNamed && !bFile && !name.empty()) {
      params.Set(std::move(name), std::string(body.substr(pos, contentEnd - pos)));
    }
    pos = next + 1 + delimiter.size();
  }
}
