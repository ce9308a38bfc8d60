// Turning the service's XML answer into an outcome, and any outcome into the sentence the
// user is shown.
#pragma once

#include <string>

class CFacebookClient;
struct FacebookCallResult;

// Parses strResponse with the client's XML parser, the prefix "nfb" bound to the service's
// namespace. Sets nStatus to -1 (not a document: empty, not well-formed, no root), 1 (a
// root element, kept in pRoot with its name in bstrRootName) or -6 (an "error_response",
// whose code and message go to strErrorCode and strErrorMsg).
void ParseResponse(const CFacebookClient& client, FacebookCallResult& result);
// For a parsed "error_response": -6, and the code and message read from pRoot (a missing
// element reads as empty).
void ParseErrorResponse(FacebookCallResult& result);
// The user-facing text for nStatus, also stored in strMessage.
std::wstring GetErrorText(FacebookCallResult& result);
