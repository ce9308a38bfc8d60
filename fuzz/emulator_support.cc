#include "fuzz/emulator_support.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "common/deployment.h"
#include "fuzz/fuzz_support.h"
#include "platform/libxml2/libxml2_parser.h"
#include "tools/restemu/signature.h"

namespace {

constexpr std::int64_t kFixedNow = 1700000000;

std::string AppSecret(const Scenario& scenario) {
  const DeploymentConfig& deployment = GetDeploymentConfig();
  std::string secret = deployment.strAppSecret;
  for (const ApplicationRecord& application : scenario.aApplications) {
    if (application.strApiKey == deployment.strApiKey) {
      secret = application.strSecret;
    }
  }
  return secret;
}

std::string ChildText(const CAnswerNode& node, std::string_view name) {
  for (const CAnswerNode& child : node.Children()) {
    if (child.Name() == name) {
      return child.Text();
    }
  }
  return std::string();
}

class CAddinCalls {
 public:
  CAddinCalls(CRestService& service, std::string appSecret)
      : m_service(service), m_strAppSecret(std::move(appSecret)) {}

  RestOutcome Call(const char* method, std::initializer_list<RequestParam> own) {
    CRequestParams params;
    params.Set("method", method);
    params.Set("api_key", GetDeploymentConfig().strApiKey);
    params.Set("call_id", std::to_string(++m_nCallId));
    params.Set("v", "1.0");
    if (!m_strSessionKey.empty()) {
      params.Set("session_key", m_strSessionKey);
    }
    for (const RequestParam& param : own) {
      params.Set(param.strName, param.strValue);
    }
    params.Set("sig", ExpectedSignature(params, m_strSessionSecret.empty() ? m_strAppSecret
                                                                           : m_strSessionSecret));
    RestOutcome outcome = m_service.Call(params);
    RequireWellFormedAnswer(outcome.document);
    Require(outcome.bSignatureValid, "the add-in's signature is valid");
    return outcome;
  }

  void UseSession(std::string key, std::string secret) {
    m_strSessionKey = std::move(key);
    m_strSessionSecret = std::move(secret);
  }

 private:
  CRestService& m_service;
  std::string m_strAppSecret;
  std::string m_strSessionKey;
  std::string m_strSessionSecret;
  std::int64_t m_nCallId = 1000;
};

}  // namespace

const Scenario& DemoScenario() {
  static const Scenario scenario = ParseScenario(DemoScenarioText(), kFixedNow);
  return scenario;
}

bool IsWellFormedXml(std::string_view text) {
  static CLibxml2Parser parser;
  return parser.Load(text, L"", L"").eOutcome == XmlLoadResult::Outcome::kLoaded;
}

void RequireWellFormedAnswer(const AnswerDocument& document) {
  Require(IsWellFormedXml(WriteXmlAnswer(document)), "every XML answer is well-formed");
  Require(nlohmann::json::accept(WriteJsonAnswer(document)), "every JSON answer is valid");
}

void RunAddinSession(CRestService& service, const Scenario& scenario) {
  CAddinCalls calls(service, AppSecret(scenario));
  const RestOutcome token = calls.Call("facebook.auth.createToken", {});
  Require(token.nErrorCode == 0, "a token is given");
  const std::string apiKey = GetDeploymentConfig().strApiKey;
  Require(service.ApproveToken(apiKey, token.document.root.Text()), "the token can be approved");
  const RestOutcome session =
      calls.Call("facebook.auth.getSession", {{"auth_token", token.document.root.Text()}});
  Require(session.nErrorCode == 0, "the approved token gives a session");
  const std::string uid = ChildText(session.document.root, "uid");
  calls.UseSession(ChildText(session.document.root, "session_key"),
                   ChildText(session.document.root, "secret"));

  const auto poll = [&calls](const char* method, std::initializer_list<RequestParam> own) {
    const int code = calls.Call(method, own).nErrorCode;
    Require(code == 0 || code == 450, "the add-in's polls are answered");
  };
  poll("facebook.notifications.get", {});
  poll("facebook.fql.query",
       {{"query", "SELECT uid,name,status,wall_count FROM user WHERE uid =" + uid}});
  poll("facebook.fql.query",
       {{"query",
         "SELECT uid,name,status,birthday FROM user WHERE uid in (SELECT uid2 FROM "
         "friend WHERE uid1=" +
             uid +
             ") AND (strlen(status.message) > 0 OR strpos(lower(birthday), \"nov\") "
             ">= 0)ORDER BY status.time DESC LIMIT 100 "}});
  calls.Call("facebook.users.setStatus", {{"status", "is fuzzing"}, {"status_includes_verb", "1"}});
  calls.Call("facebook.users.hasAppPermission", {{"ext_perm", "status_update"}});
  poll("facebook.notifications.get", {{"format", "JSON"}});
}
