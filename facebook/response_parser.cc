#include "facebook/response_parser.h"

#include <cstdint>
#include <string_view>

#include "common/format.h"
#include "common/logger.h"
#include "common/text.h"
#include "facebook/call_result.h"
#include "facebook/facebook_client.h"
#include "facebook/xml_select.h"
#include "platform/xml_parser.h"
#include "resources/string_table.h"

namespace {

constexpr const wchar_t* kErrorRoot = L"error_response";

// Whether `text` is UTF-8 throughout, without overlong forms, surrogates or values beyond
// U+10FFFF.
bool IsValidUtf8(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    std::size_t extra = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (at + extra >= text.size()) {
      return false;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[at + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
        return false;
      }
    }
    at += extra + 1;
  }
  return true;
}

}  // namespace

void ParseResponse(const CFacebookClient& client, FacebookCallResult& result) {
  result.nStatus = kCallMalformed;
  if (result.strResponse.empty()) {
    return;
  }
  CLogger& log = client.Log();
  // The answer is read as UTF-8 text whatever its declaration says; bytes that are not
  // UTF-8 read as U+FFFD rather than losing the whole answer.
  std::string repaired;
  std::string_view text = result.strResponse;
  if (!IsValidUtf8(text)) {
    repaired = WideToUtf8(Utf8ToWide(text));
    text = repaired;
  }
  XmlLoadResult load =
      client.Xml().Load(text, kServicePrefix, Utf8ToWide(client.m_strNamespaceUri));
  switch (load.eOutcome) {
    case XmlLoadResult::Outcome::kLoaded:
      break;
    case XmlLoadResult::Outcome::kCreateFailed:
      log.error("%s failed. 0x%lx", "pr: cci", HResultForLog(load.hrError));
      return;
    case XmlLoadResult::Outcome::kLoadFailed:
      log.error("%s failed. 0x%lx", "pr: lx", HResultForLog(load.hrError));
      return;
    case XmlLoadResult::Outcome::kNotWellFormed:
      log.debug("pr: lx f");
      return;
    case XmlLoadResult::Outcome::kRootFailed:
      log.error("%s failed. 0x%lx", "pr: gr", HResultForLog(load.hrError));
      return;
    case XmlLoadResult::Outcome::kNoRoot:
      log.error("%s failed. NULL.", "pr: gr");
      return;
  }
  if (!load.pRoot) {
    log.error("%s failed. NULL.", "pr: gr");
    return;
  }
  result.nStatus = kCallSucceeded;
  result.pRoot = std::move(load.pRoot);
  result.bstrRootName = result.pRoot->Name();
  if (result.bstrRootName == kErrorRoot) {
    ParseErrorResponse(result);
    log.error("pr: ec: %s, em: %s", WideToAnsi(result.strErrorCode).c_str(),
              WideToAnsi(result.strErrorMsg).c_str());
  }
}

void ParseErrorResponse(FacebookCallResult& result) {
  result.nStatus = kCallServiceError;
  result.strErrorCode.clear();
  result.strErrorMsg.clear();
  SelectTextBstr(result.pRoot.get(), L"nfb:error_code", result.strErrorCode);
  SelectTextBstr(result.pRoot.get(), L"nfb:error_msg", result.strErrorMsg);
}

std::wstring GetErrorText(FacebookCallResult& result) {
  switch (result.nStatus) {
    case kCallMalformed:
      result.strMessage = LoadText(IDS_ERROR_MALFORMED);
      break;
    case kCallUnexpectedRoot:
      result.strMessage = LoadText(IDS_ERROR_UNEXPECTED);
      break;
    case kCallNoAnswer:
      result.strMessage = LoadText(IDS_ERROR_UNREACHABLE);
      break;
    case kCallServiceError:
      result.strMessage =
          FormatInserts(LoadText(IDS_ERROR_SERVICE), {result.strErrorCode, result.strErrorMsg});
      break;
    default:
      result.strMessage = FormatInserts(LoadText(IDS_ERROR_OTHER), {result.nStatus});
      break;
  }
  return result.strMessage;
}
