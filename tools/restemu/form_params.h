// The parameters of one request as the REST server reads them: the query string first, then
// the form body. A later value replaces an earlier one of the same name and keeps the name's
// first position, which is the order the error answers echo them back in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tools/http_front/http_text.h"

struct RequestParam {
  std::string strName;
  std::string strValue;
};

class CRequestParams {
 public:
  void Set(std::string name, std::string value);
  // The value of `name`, or null when the request did not carry it.
  const std::string* Find(std::string_view name) const;
  // The value of `name`, empty when the request did not carry it.
  std::string Get(std::string_view name) const;
  bool Has(std::string_view name) const { return Find(name) != nullptr; }

  const std::vector<RequestParam>& Items() const { return m_aItems; }

 private:
  std::vector<RequestParam> m_aItems;
  std::unordered_map<std::string, std::size_t> m_mapIndex;
};

// Decodes application/x-www-form-urlencoded text ("a=1&b=x+y%21") into `params`: "+" is a
// blank and %XX a byte; a "%" without two hexadecimal digits after it stays as it is. A pair
// without "=" is a name with an empty value; pairs with an empty name are skipped.
void ParseUrlEncoded(std::string_view text, CRequestParams& params);

// The boundary parameter of a multipart Content-Type, unquoted; empty when it has none.
std::string MultipartBoundary(std::string_view contentType);
// Reads a multipart/form-data body into `params` the way a form body is read: parts in the
// order sent, a later part of a name replacing the value and keeping the first place, parts
// with an empty name skipped. Parts that carry a file name are uploads, not parameters.
// False when the body is not multipart text with that boundary.
bool ParseMultipart(std::string_view body, std::string_view boundary, CRequestParams& params);
