#include "common/deployment.h"

#include "deployment_constants.h"

const DeploymentConfig& GetDeploymentConfig() {
  static const DeploymentConfig config{
      ZENLET_API_KEY,      ZENLET_APP_SECRET,       ZENLET_API_HOST,     ZENLET_API_PORT,
      ZENLET_LOGIN_PAGE,   ZENLET_AUTHORIZE_PAGE,   ZENLET_SITE_ADDRESS, ZENLET_NAMESPACE_URI,
      ZENLET_PRODUCT_PAGE, ZENLET_FEEDBACK_ADDRESS,
  };
  return config;
}

DeploymentConfig ServiceDeployment(const std::string& host, int port) {
  const std::string address = "http://" + host + ":" + std::to_string(port);
  DeploymentConfig config = GetDeploymentConfig();
  config.strApiHost = host;
  config.nApiPort = port;
  config.strLoginPage = address + "/login.php";
  config.strAuthorizePage = address + "/authorize.php";
  config.strSiteAddress = address + "/";
  return config;
}
