// The outcome of one REST call, filled in turn by the transport, the parser and the method.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class IXmlNode;

// Outcome codes of FacebookCallResult::nStatus.
enum FacebookCallStatus : std::int32_t {
  kCallNotMade = 0,          // fresh or reset
  kCallSucceeded = 1,        // a status was read; after parsing: a root that is no error
  kCallMalformed = -1,       // the answer is not a parsable document
  kCallUnexpectedRoot = -2,  // the root element is not the one the method expects
  kCallNoAnswer = -4,        // no HTTP status was read
  kCallServiceError = -6,    // the service answered "error_response"
};

struct FacebookCallResult {
  std::int32_t nStatus = kCallNotMade;
  std::wstring strMessage;          // user-facing text, filled by GetErrorText
  std::int32_t nHttpStatus = 0;     // -1 while no status was read
  std::string strResponse;          // the body as received (UTF-8 XML)
  std::shared_ptr<IXmlNode> pRoot;  // keeps the parsed document alive
  std::wstring bstrRootName;
  std::wstring strErrorCode;  // "nfb:error_code" of an error answer
  std::wstring strErrorMsg;   // "nfb:error_msg" of an error answer

  // Back to the fresh state, for a second call with the same record.
  void Reset() { *this = FacebookCallResult(); }
};
