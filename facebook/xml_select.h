// Reading values out of an answer with XPath. Every helper takes a context node, which may
// be null (then nothing matches), and an expression relative to it whose element names
// carry the prefix "nfb:".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class IXmlNode;

// The prefix bound to the service's namespace in every selection.
inline constexpr const wchar_t* kServicePrefix = L"nfb";

// The text content of the first match, as UTF-8; empty when nothing matches.
std::string SelectText(const IXmlNode* node, const std::wstring& xpath);
// The text content of the first match into `out`; `out` is left as it was when nothing
// matches.
void SelectTextBstr(const IXmlNode* node, const std::wstring& xpath, std::wstring& out);
// The text of the first match read as wcstol reads base 10 (leading blanks and a sign
// allowed, reading stops at the first other character, no digits give 0, values beyond the
// 32-bit range stop at its ends); 0 when nothing matches.
std::int32_t SelectInt(const IXmlNode* node, const std::wstring& xpath);
// The number of nodes the expression selects; 0 when the selection fails.
std::int32_t SelectCount(const IXmlNode* node, const std::wstring& xpath);

// `text` read as wcstol reads base 10, limited to the 32-bit range.
std::int32_t ReadDecimal(const std::wstring& text);
// `text` without the XML white space (blank, tab, CR, LF) around it.
std::string_view TrimXmlSpace(std::string_view text);
