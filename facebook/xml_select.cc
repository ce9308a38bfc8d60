#include "facebook/xml_select.h"

#include <limits>
#include <memory>
#include <vector>

#include "common/text.h"
#include "platform/xml_parser.h"

namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

}  // namespace

std::string SelectText(const IXmlNode* node, const std::wstring& xpath) {
  std::wstring text;
  SelectTextBstr(node, xpath, text);
  return WideToUtf8(text);
}

void SelectTextBstr(const IXmlNode* node, const std::wstring& xpath, std::wstring& out) {
  if (node == nullptr) {
    return;
  }
  if (const std::shared_ptr<IXmlNode> match = node->SelectSingle(xpath)) {
    out = match->Text();
  }
}

std::int32_t SelectInt(const IXmlNode* node, const std::wstring& xpath) {
  if (node == nullptr) {
    return 0;
  }
  const std::shared_ptr<IXmlNode> match = node->SelectSingle(xpath);
  return match ? ReadDecimal(match->Text()) : 0;
}

std::int32_t SelectCount(const IXmlNode* node, const std::wstring& xpath) {
  std::vector<std::shared_ptr<IXmlNode>> nodes;
  if (node == nullptr || !node->SelectAll(xpath, &nodes)) {
    return 0;
  }
  constexpr std::size_t kMaxCount = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(nodes.size() < kMaxCount ? nodes.size() : kMaxCount);
}

std::int32_t ReadDecimal(const std::wstring& text) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) {
    ++at;
  }
  bool negative = false;
  if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) {
    negative = text[at] == L'-';
    ++at;
  }
  std::int64_t value = 0;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
    value = value * 10 + (text[at] - L'0');
    if (value > kMax + 1) {
      value = kMax + 1;  // saturated: the sign decides which end it stops at
    }
  }
  if (negative) {
    value = -value;
  }
  return static_cast<std::int32_t>(value > kMax ? kMax : (value < kMin ? kMin : value));
}

std::string_view TrimXmlSpace(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}
