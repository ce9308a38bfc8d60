// Where this build of the add-in talks to and points its user at. The values are chosen when
// the build is configured; tests and tools build their own `DeploymentConfig` to aim a client
// at a service on a loopback port.
#pragma once

#include <string>

struct DeploymentConfig {
  std::string strApiKey;         // 32 lowercase hex characters
  std::string strAppSecret;      // 32 lowercase hex characters
  std::string strApiHost;        // host of the REST API server
  int nApiPort = 80;             // its TCP port
  std::string strLoginPage;      // full address of the token login page
  std::string strAuthorizePage;  // full address of the extended-permission page
  std::string strSiteAddress;    // the web site, with its trailing slash
  std::string strNamespaceUri;   // XML namespace of the REST answers
  std::string strProductPage;    // the product's web page
  std::string strFeedbackAddress;
};

// The configuration this build was made with.
const DeploymentConfig& GetDeploymentConfig();

// This build's configuration with the service and its pages at http://host:port/ (an
// emulator on loopback, for the zenlet program and the tests).
DeploymentConfig ServiceDeployment(const std::string& host, int port);

// Fixed facts about the product itself.
inline constexpr const char* kProductVersion = "0.1.0.32";
inline constexpr const char* kProductEdition = "Alpha Version";
inline constexpr const wchar_t* kCompanyName = L"Morvane";
inline constexpr const wchar_t* kProductName = L"Zenlet";
