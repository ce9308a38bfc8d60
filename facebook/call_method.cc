#include "facebook/call_method.h"

#include <mutex>

#include "facebook/call_result.h"
#include "facebook/facebook_client.h"
#include "facebook/http_post.h"
#include "facebook/request_params.h"
#include "facebook/response_parser.h"

void CallMethod(CFacebookClient& client, const std::string& methodName, CFacebookParams& params,
                FacebookCallResult& result) {
  std::string sessionKey;
  std::string sessionSecret;
  {
    std::lock_guard<std::mutex> lock(client.m_csState);
    sessionKey = client.m_session.strSessionKey;
    sessionSecret = client.m_session.strSessionSecret;
  }
  // The key decides whether "session_key" is sent; the secret alone decides what signs.
  AddStandardParams(params, client.m_strApiKey, client.CallIds(), methodName, sessionKey,
                    client.m_strApiVersion);
  const std::string body =
      BuildRequestBody(params, sessionSecret.empty() ? client.m_strAppSecret : sessionSecret);

  PostRequest(client, body, result);
  if (result.nStatus == kCallSucceeded) {
    ParseResponse(client, result);
  }
}
