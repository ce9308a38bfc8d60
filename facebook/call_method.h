// The driver of one REST call: standard parameters, signature, POST, parsing.
#pragma once

#include <string>

class CFacebookClient;
class CFacebookParams;
struct FacebookCallResult;
struct FacebookSession;

// Adds the standard pairs to `params` (which hold the method's own pairs already): api_key,
// call_id, method, session_key when there is a session key, v. Signs with the session
// secret when there is one, otherwise with the application secret, the session being
// copied under the client's lock first. Then posts the body and, when an answer came,
// parses it. `result` is fresh or reset; the method inspects it afterwards. No retry.
void CallMethod(CFacebookClient& client, const std::string& methodName, CFacebookParams& params,
                FacebookCallResult& result);

// The same with the session `askedWith` (the caller's copy, taken under the client's lock)
// instead of the client's current one, so that the caller can tell afterwards whether the
// answer still belongs to the session that asked.
void CallMethod(CFacebookClient& client, const std::string& methodName, CFacebookParams& params,
                const FacebookSession& askedWith, FacebookCallResult& result);
