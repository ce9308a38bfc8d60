// Request parameters as the emulator reads them: a form body or a multipart body. Input: the
// Content-Type on the first line, the body after it. Properties: names are unique and not
// empty, each name finds its own value, and parameters written out as a form read back the
// same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tools/restemu/form_params.h"

namespace {

std::string Encode(std::string_view text) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    out += '%';
    out += kDigits[c >> 4];
    out += kDigits[c & 0xF];
  }
  return out;
}

void RequireSound(const CRequestParams& params) {
  for (const RequestParam& param : params.Items()) {
    Require(!param.strName.empty(), "no parameter has an empty name");
    Require(params.Find(param.strName) == &param.strValue, "each name finds its own value");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = AsText(data, size);
  const std::size_t end = input.find('\n');
  const std::string_view type = input.substr(0, end);
  const std::string_view body =
      end == std::string_view::npos ? std::string_view() : input.substr(end + 1);

  Require(UrlDecode(body).size() <= body.size() && PercentDecode(body).size() <= body.size(),
          "decoding never lengthens");
  CRequestParams params;
  if (EqualsNoCase(Trimmed(type).substr(0, 19), "multipart/form-data")) {
    ParseMultipart(body, MultipartBoundary(type), params);
  } else {
    ParseUrlEncoded(body, params);
  }
  RequireSound(params);

  std::string form;
  for (const RequestParam& param : params.Items()) {
    form += (form.empty() ? "" : "&") + Encode(param.strName) + "=" + Encode(param.strValue);
  }
  CRequestParams again;
  ParseUrlEncoded(form, again);
  Require(again.Items().size() == params.Items().size(), "a form written out reads back");
  for (std::size_t i = 0; i < params.Items().size(); ++i) {
    Require(again.Items()[i].strName == params.Items()[i].strName &&
                again.Items()[i].strValue == params.Items()[i].strValue,
            "a form written out reads back the same");
  }
  return 0;
}
