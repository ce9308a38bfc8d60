#include "facebook/response_log.h"

#include <algorithm>

#include "facebook/xml_select.h"

namespace {

constexpr std::string_view kMask = "********";

bool IsSecretName(std::string_view name) {
  return name == "session_key" || name == "secret";
}

bool IsNameEnd(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}

// One tag "<...>" as the masking scan sees it. Not a parser: the answer may be truncated or
// malformed, and masking must still work on whatever is there.
struct ScannedTag {
  std::string_view strName;  // as written, prefix included
  std::string_view strLocalName;
  bool bOpening = false;  // a start tag that is not self-closing
};

ScannedTag ScanTag(std::string_view tag) {
  ScannedTag scanned;
  std::size_t at = 1;
  const bool closing = tag.size() > 1 && tag[1] == '/';
  if (closing) {
    ++at;
  }
  std::size_t end = at;
  while (end < tag.size() && !IsNameEnd(tag[end])) {
    ++end;
  }
  scanned.strName = tag.substr(at, end - at);
  const std::size_t colon = scanned.strName.rfind(':');
  scanned.strLocalName =
      colon == std::string_view::npos ? scanned.strName : scanned.strName.substr(colon + 1);
  const bool selfClosing = tag.size() >= 2 && tag[tag.size() - 2] == '/';
  scanned.bOpening = !closing && !selfClosing && !scanned.strName.empty() &&
                     scanned.strName[0] != '!' && scanned.strName[0] != '?';
  return scanned;
}

// The answer with every secret element's content masked, cut once it holds `limit` bytes.
std::string MaskSecrets(std::string_view response, std::size_t limit) {
  std::string out;
  out.reserve(std::min(response.size(), limit) + kMask.size());
  bool maskNextValue = false;  // a "key" named a secret: its "value" is one
  std::size_t at = 0;
  while (at < response.size() && out.size() < limit) {
    const std::size_t open = response.find('<', at);
    const std::size_t close = open == std::string_view::npos ? open : response.find('>', open);
    if (close == std::string_view::npos) {
      out.append(response.substr(at));
      break;
    }
    out.append(response.substr(at, close + 1 - at));
    at = close + 1;
    const ScannedTag tag = ScanTag(response.substr(open, close + 1 - open));
    if (!tag.bOpening) {
      continue;
    }
    const bool secret =
        IsSecretName(tag.strLocalName) || (maskNextValue && tag.strLocalName == "value");
    maskNextValue = false;
    if (secret) {
      // Everything up to the element's end tag, whatever it holds; to the end of the text
      // when the answer is cut short.
      const std::size_t end = response.find("</" + std::string(tag.strName), at);
      out.append(kMask);
      at = end == std::string_view::npos ? response.size() : end;
    } else if (tag.strLocalName == "key") {
      const std::size_t end = response.find('<', at);
      maskNextValue = IsSecretName(TrimXmlSpace(response.substr(at, end - at)));
    }
  }
  return out;
}

}  // namespace

std::string FormatResponseForLog(std::string_view response, std::size_t limit) {
  const std::string masked = MaskSecrets(response, limit);
  std::string out;
  out.reserve(masked.size());
  for (const char c : masked) {
    if (c == '\0') {
      out.append("\\0");
    } else {
      out.push_back(c);
    }
  }
  if (out.size() > limit) {
    out.resize(limit);
  }
  return out;
}
