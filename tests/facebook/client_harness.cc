#include "tests/facebook/client_harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <sstream>

#include "facebook/call_method.h"
#include "facebook/request_params.h"

DeploymentConfig TestDeployment() {
  DeploymentConfig config;
  config.strApiKey = kTestApiKey;
  config.strAppSecret = kTestAppSecret;
  config.strApiAddress = "http://127.0.0.1:18080/";
  config.strLoginPage = "http://127.0.0.1:18080/login.php";
  config.strAuthorizePage = "http://127.0.0.1:18080/authorize.php";
  config.strNamespaceUri = kServiceNamespace;
  return config;
}

std::string ReadFixture(const std::string& name) {
  std::ifstream in("tests/fixtures/rest-answers/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read fixture " << name;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ServiceAnswer(const std::string& root, const std::string& inner) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + " xmlns=\"" + kServiceNamespace +
         "\">" + inner + "</" + root + ">";
}

std::string ErrorAnswer(const std::string& code, const std::string& message) {
  return ServiceAnswer("error_response", "<error_code>" + code + "</error_code><error_msg>" +
                                             message + "</error_msg>");
}

std::string FormValue(const std::string& body, const std::string& name) {
  const std::string key = name + "=";
  for (std::size_t at = 0; at <= body.size();) {
    std::size_t end = body.find('&', at);
    end = end == std::string::npos ? body.size() : end;
    if (body.compare(at, key.size(), key) == 0) {
      return body.substr(at + key.size(), end - at - key.size());
    }
    at = end + 1;
  }
  return "<absent>";
}

void ClientHarness::LogIn(const std::string& userId) {
  std::lock_guard<std::mutex> lock(client.m_csState);
  client.m_session.strSessionKey = "5f34e11bfb97c762e439e6a5-8055";
  client.m_session.strSessionSecret = "ohairoflamao12345";
  client.m_session.strUserId = userId;
}

void ClientHarness::Call(const std::string& method, FacebookCallResult& result) {
  CFacebookParams params;
  CallMethod(client, method, params, result);
}

void ClientHarness::Answer(const std::string& body) {
  transport.Enqueue(ScriptedHttpAnswer::Body(body));
}
