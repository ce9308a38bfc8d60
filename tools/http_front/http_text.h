// The small text rules of HTTP that the front and the servers behind it share: header names
// and keywords compared without case, blanks trimmed, and the percent-encoding of addresses
// and forms.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// ASCII letters compared without regard to case, as header names and keywords are.
bool EqualsNoCase(std::string_view a, std::string_view b);
// `text` without its leading and trailing blanks and tabs.
std::string_view Trimmed(std::string_view text);

// %XX decoded and "+" read as a blank: a form's or a query's names and values. A "%" without
// two hexadecimal digits after it stays as it is.
std::string UrlDecode(std::string_view text);
// %XX decoded, "+" left as it is: a URL's path.
std::string PercentDecode(std::string_view text);

// Reads "a=1&b=x+y" pair by pair, each name and value decoded, and hands them to `take` in
// order until it returns false. A pair without "=" has an empty value.
void ReadUrlEncoded(std::string_view text,
                    const std::function<bool(std::string name, std::string value)>& take);
// The value of the first parameter `name` of a query string ("a=1&b=x+y"), decoded; nothing
// when the query has no such parameter.
std::optional<std::string> QueryValue(std::string_view query, std::string_view name);
