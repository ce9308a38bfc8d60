#include "tests/integration/emulated_service.h"

#include <httplib.h>

#include <ctime>

#include "tools/restemu/scenario.h"

DeploymentConfig EmulatorDeployment(int port) {
  const std::string root = "http://127.0.0.1:" + std::to_string(port) + "/";
  return DeploymentForLocalService(GetDeploymentConfig(), root, root);
}

namespace {

bool PostForm(int port, const std::string& path, const httplib::Params& form) {
  httplib::Client browser("127.0.0.1", port);
  const httplib::Result page = browser.Post(path.c_str(), form);
  return page && page->status == 200;
}

}  // namespace

bool LogInOnTheLoginPage(int port, const std::string& authToken) {
  const DeploymentConfig& config = GetDeploymentConfig();
  return PostForm(port, "/login.php",
                  {{"api_key", config.strApiKey}, {"auth_token", authToken}, {"v", "1.0"}});
}

bool AllowStatusUpdates(int port) {
  const DeploymentConfig& config = GetDeploymentConfig();
  return PostForm(port, "/authorize.php",
                  {{"api_key", config.strApiKey},
                   {"v", "1.0"},
                   {"ext_perm", "status_update"},
                   {"decision", "allow"}});
}

std::string QueryValue(const std::string& address, const std::string& name) {
  for (std::size_t at = address.find_first_of("?&"); at != std::string::npos;
       at = address.find('&', at + 1)) {
    if (address.compare(at + 1, name.size() + 1, name + "=") == 0) {
      const std::size_t begin = at + name.size() + 2;
      const std::size_t end = address.find('&', begin);
      return address.substr(begin, end == std::string::npos ? end : end - begin);
    }
  }
  return {};
}

bool LogInThroughTheBrowser(CFacebookClient& client, int port) {
  FacebookCallResult result;
  if (!client.CreateToken(result)) {
    return false;
  }
  std::string token;
  {
    std::lock_guard<std::mutex> lock(client.m_csState);
    token = client.m_strAuthToken;
  }
  result.Reset();
  return LogInOnTheLoginPage(port, token) && client.GetSession(result);
}

EmulatedService::EmulatedService(const std::string& scenarioJson, EApi api)
    : pEmulator(std::make_unique<CRestEmulator>(ParseScenario(scenarioJson, std::time(nullptr)))) {
  pEmulator->Start();
  DeploymentConfig config = EmulatorDeployment(pEmulator->Port());
  if (api == EApi::kTls) {
    pEmulator->StartTls();
    config.strApiAddress = pEmulator->TlsAddress() + "/";
  }
  pTransport = std::make_unique<CCurlHttpTransport>(pEmulator->CertificatePem());
  pClient = std::make_unique<CFacebookClient>(config, *pTransport, parser, clock, logger);
}
