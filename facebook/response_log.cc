#include "facebook/response_log.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "facebook/xml_select.h"
#include "platform/xml_parser.h"

namespace {

constexpr std::string_view kMask = "********";

// A secret piece the parsed document names is masked wherever it is left in the line; a
// shorter one would mask unrelated text, and the scan has covered it already.
constexpr std::size_t kShortestScrubbedPiece = 4;

// How far past its start tag the scan looks for the end of a secret or of a key, much further
// than any real one reaches. An element not ended within it counts as not ended: a secret is
// masked to the end of the text, a key is taken for one naming a secret. Without the bound,
// an answer of many unended tags was scanned to its end once for each of them, which took
// minutes for one large answer.
constexpr std::size_t kFarthestEndTag = 16 * 1024;

bool IsSecretName(std::string_view name) {
  return name == "session_key" || name == "secret";
}

bool IsNameEnd(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
}

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix) {
  return text.compare(at, prefix.size(), prefix) == 0;
}

// Where the markup that starts with the "<" at `open` ends (just past its last character), or
// npos when the text ends first. Comments, CDATA sections and processing instructions end
// only at their own closing marks, a declaration after its internal subset, and a tag at the
// first ">" outside quotes, so no ">" or end tag inside any of them is taken for more.
std::size_t MarkupEnd(std::string_view text, std::size_t open) {
  const auto past = [&text](std::size_t from, std::string_view mark) {
    const std::size_t found = text.find(mark, from);
    return found == std::string_view::npos ? found : found + mark.size();
  };
  if (StartsWith(text, open, "<!--")) {
    return past(open + 4, "-->");
  }
  if (StartsWith(text, open, "<![CDATA[")) {
    return past(open + 9, "]]>");
  }
  if (StartsWith(text, open, "<?")) {
    return past(open + 2, "?>");
  }
  char quote = 0;
  int brackets = 0;  // the internal subset of a declaration
  const bool declaration = StartsWith(text, open, "<!");
  for (std::size_t at = open + 1; at < text.size(); ++at) {
    const char c = text[at];
    if (quote != 0) {
      quote = c == quote ? 0 : quote;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (declaration && c == '[') {
      ++brackets;
    } else if (declaration && c == ']') {
      --brackets;
    } else if (c == '>' && brackets <= 0) {
      return at + 1;
    }
  }
  return std::string_view::npos;
}

// One markup item as the masking scan sees it. Not a parser: the answer may be truncated or
// malformed, and masking must still work on whatever is there.
struct ScannedTag {
  std::string_view strName;  // as written, prefix included; empty for no element tag
  std::string_view strLocalName;
  bool bOpening = false;  // a start tag that is not self-closing
  bool bClosing = false;  // an end tag
};

ScannedTag ScanTag(std::string_view markup) {
  ScannedTag scanned;
  if (markup.size() < 2 || markup[1] == '!' || markup[1] == '?') {
    return scanned;  // comment, CDATA, declaration or processing instruction
  }
  scanned.bClosing = markup[1] == '/';
  std::size_t at = scanned.bClosing ? 2 : 1;
  std::size_t end = at;
  while (end < markup.size() && !IsNameEnd(markup[end])) {
    ++end;
  }
  scanned.strName = markup.substr(at, end - at);
  const std::size_t colon = scanned.strName.rfind(':');
  scanned.strLocalName =
      colon == std::string_view::npos ? scanned.strName : scanned.strName.substr(colon + 1);
  const bool selfClosing = markup.size() >= 2 && markup[markup.size() - 2] == '/';
  scanned.bOpening = !scanned.bClosing && !selfClosing && !scanned.strName.empty();
  return scanned;
}

// Where the end tag matching an element `name` whose content starts at `at` begins, counting
// nested elements of the same name and looking past comments, CDATA and quoted attribute
// values; npos when there is none before the end of the text.
std::size_t MatchingEndTag(std::string_view text, std::size_t at, std::string_view name) {
  int depth = 1;
  for (std::size_t open = text.find('<', at); open != std::string_view::npos;
       open = text.find('<', at)) {
    at = MarkupEnd(text, open);
    if (at == std::string_view::npos) {
      return at;
    }
    const ScannedTag tag = ScanTag(text.substr(open, at - open));
    if (tag.strName != name) {
      continue;
    }
    if (tag.bClosing && --depth == 0) {
      return open;
    }
    depth += tag.bOpening ? 1 : 0;
  }
  return std::string_view::npos;
}

// The character data between `at` and `end`, comments and tags left out and CDATA taken in.
std::string CharacterData(std::string_view text, std::size_t at, std::size_t end) {
  std::string data;
  while (at < end) {
    const std::size_t open = text.find('<', at);
    if (open == std::string_view::npos || open >= end) {
      data.append(text.substr(at, end - at));
      break;
    }
    data.append(text.substr(at, open - at));
    const std::size_t close = std::min(MarkupEnd(text, open), end);
    if (StartsWith(text, open, "<![CDATA[") && close >= open + 12) {
      data.append(text.substr(open + 9, close - 3 - (open + 9)));
    }
    at = close;
  }
  return data;
}

// The answer with every secret element's content masked, cut once it holds `limit` bytes.
std::string MaskSecrets(std::string_view response, std::size_t limit) {
  std::string out;
  out.reserve(std::min(response.size(), limit) + kMask.size());
  bool maskNextValue = false;  // a "key" named a secret: its "value" is one
  std::size_t at = 0;
  while (at < response.size() && out.size() < limit) {
    const std::size_t open = response.find('<', at);
    if (open == std::string_view::npos) {
      out.append(response.substr(at));
      break;
    }
    const std::size_t close = MarkupEnd(response, open);
    if (close == std::string_view::npos) {
      const ScannedTag tag = ScanTag(response.substr(open));
      if (!tag.bClosing && IsSecretName(tag.strLocalName)) {
        // A secret's start tag that never ends: what follows its name may be the secret.
        const std::size_t nameEnd =
            static_cast<std::size_t>(tag.strName.data() - response.data()) + tag.strName.size();
        out.append(response.substr(at, nameEnd - at));
        out.append(kMask);
        break;
      }
      // Markup that never ends (a comment, a quote): what it holds is scanned as text, so
      // that a secret inside it is still found.
      out.append(response.substr(at, open + 1 - at));
      at = open + 1;
      continue;
    }
    out.append(response.substr(at, close - at));
    at = close;
    const ScannedTag tag = ScanTag(response.substr(open, close - open));
    if (!tag.bOpening) {
      continue;
    }
    const bool secret =
        IsSecretName(tag.strLocalName) || (maskNextValue && tag.strLocalName == "value");
    maskNextValue = false;
    if (!secret && tag.strLocalName != "key") {
      continue;
    }
    const std::size_t end =
        MatchingEndTag(response.substr(0, at + kFarthestEndTag), at, tag.strName);
    if (secret) {
      // Everything up to the element's own end tag, whatever it holds; to the end of the
      // text when the answer is cut short or never closes it.
      out.append(kMask);
      at = end == std::string_view::npos ? response.size() : end;
    } else {
      maskNextValue = end == std::string_view::npos ||
                      IsSecretName(TrimXmlSpace(CharacterData(response, at, end)));
    }
  }
  return out;
}

void AddPiece(std::vector<std::string>* pieces, const std::wstring& text) {
  std::string piece(TrimXmlSpace(WideToUtf8(text)));
  if (piece.size() >= kShortestScrubbedPiece) {
    pieces->push_back(std::move(piece));
  }
}

std::wstring_view LocalName(const std::wstring& name) {
  const std::size_t colon = name.rfind(L':');
  return colon == std::wstring::npos ? std::wstring_view(name)
                                     : std::wstring_view(name).substr(colon + 1);
}

// The secret texts of a parsed answer: each secret element's text and every text inside it,
// and the same of each "value" that follows a "key" naming a secret.
std::vector<std::string> ParsedSecrets(const IXmlNode& root) {
  std::vector<std::shared_ptr<IXmlNode>> secrets;
  root.SelectAll(L"//*[local-name()='session_key' or local-name()='secret']", &secrets);
  // Each element holding values is walked once, child by child. Asking every value for the
  // sibling before it walked all the siblings before it, so an answer of many values took
  // hours to log.
  std::vector<std::shared_ptr<IXmlNode>> holders;
  root.SelectAll(L"//*[*[local-name()='value']]", &holders);
  for (const std::shared_ptr<IXmlNode>& holder : holders) {
    std::vector<std::shared_ptr<IXmlNode>> children;
    holder->SelectAll(L"*", &children);
    for (std::size_t i = 1; i < children.size(); ++i) {
      if (LocalName(children[i]->Name()) == L"value" &&
          LocalName(children[i - 1]->Name()) == L"key" &&
          IsSecretName(TrimXmlSpace(WideToUtf8(children[i - 1]->Text())))) {
        secrets.push_back(children[i]);
      }
    }
  }
  std::vector<std::string> pieces;
  for (const std::shared_ptr<IXmlNode>& secret : secrets) {
    AddPiece(&pieces, secret->Text());
    std::vector<std::shared_ptr<IXmlNode>> texts;
    secret->SelectAll(L".//text()", &texts);
    for (const std::shared_ptr<IXmlNode>& text : texts) {
      AddPiece(&pieces, text->Text());
    }
  }
  // Longest first, so that a piece inside a longer one does not leave the rest behind; each
  // once.
  std::sort(pieces.begin(), pieces.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() > b.size() : a < b;
  });
  pieces.erase(std::unique(pieces.begin(), pieces.end()), pieces.end());
  return pieces;
}

void Scrub(std::string* line, const std::string& piece) {
  for (std::size_t at = line->find(piece); at != std::string::npos;
       at = line->find(piece, at + kMask.size())) {
    line->replace(at, piece.size(), kMask);
  }
}

}  // namespace

std::string FormatResponseForLog(std::string_view response, std::size_t limit, IXmlParser* parser) {
  std::string masked = MaskSecrets(response, limit);
  // Where the answer parses, the document says what its secrets are, whatever shape hides
  // them from the scan (an entity in a key's name, say).
  if (parser != nullptr && !response.empty()) {
    const XmlLoadResult load = parser->Load(response, L"", L"");
    if (load.eOutcome == XmlLoadResult::Outcome::kLoaded && load.pRoot) {
      for (const std::string& piece : ParsedSecrets(*load.pRoot)) {
        Scrub(&masked, piece);
      }
    }
  }
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
