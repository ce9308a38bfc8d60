#include "facebook/call_method.h"

#include <mutex>

#include "facebook/call_result.h"
#include "facebook/facebook_client.h"
#include "facebook/http_post.h"
#include "facebook/request_params.h"
#include "facebook/response_parser.h"

void CallMethod(CFacebookClient& client, const std::string& methodName, CFacebookParams& params,
                FacebookCallResult& result) {
  FacebookSession session;
  {
    std::lock_guard<std::mutex> lock(client.m_csState);
    session = client.m_session;
  }
  CallMethod(client, methodName, params, session, result);
}

void CallMethod(CFacebookClient& client, const std::string& methodName, CFacebookParams& params,
                const FacebookSession& askedWith, FacebookCallResult& result) {
  // The key decides whether "session_key" is sent; the secret alone decides what signs.
  AddStandardParams(params, client.m_strApiKey, client.CallIds(), methodName,
                    askedWith.strSessionKey, client.m_strApiVersion);
  const std::string body =
      BuildRequestBody(params, askedWith.strSessionSecret.empty() ? client.m_strAppSecret
                                                                  : askedWith.strSessionSecret);

  PostRequest(client, body, result);
  if (result.nStatus == kCallSucceeded) {
    ParseResponse(client, result);
  }
}
