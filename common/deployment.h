// Where this build of the add-in talks to and points its user at. The values are chosen when
// the build is configured; tests and tools build their own `DeploymentConfig` to aim a client
// at a service on a loopback port.
#pragma once

#include <optional>
#include <string>

struct DeploymentConfig {
  std::string strApiKey;         // 32 lowercase hex characters
  std::string strAppSecret;      // 32 lowercase hex characters
  std::string strApiAddress;     // the REST API server: "https://host[:port]/"
  std::string strLoginPage;      // full address of the token login page
  std::string strAuthorizePage;  // full address of the extended-permission page
  std::string strSiteAddress;    // the web site, with its trailing slash
  std::string strNamespaceUri;   // XML namespace of the REST answers
  std::string strProductPage;    // the product's web page
  std::string strFeedbackAddress;
};

// The configuration this build was made with.
const DeploymentConfig& GetDeploymentConfig();

// A server named by its root address.
struct ServiceAddress {
  bool bTls = true;  // "https://": the connection runs over TLS
  std::string strHost;
  int nPort = 443;
};

// Reads "https://host[:port][/]" or "http://host[:port][/]": a host name, an IPv4 address or
// a bracketed IPv6 address, a port from 1 to 65535 (443 or 80 when left out), and nothing
// after the root. Anything else (another scheme, a user, a path, a query) gives nothing.
std::optional<ServiceAddress> ParseServiceAddress(const std::string& address);

// "localhost", an address of 127.0.0.0/8, or ::1: a host whose traffic never leaves the
// machine, so plain HTTP to it exposes nothing.
bool IsLoopbackHost(const std::string& host);

// `base` aimed at a service of this machine as the emulator serves it: the REST API at
// `apiRoot`, the login and permission pages and the web site below `pageRoot` (both root
// addresses with their trailing slash).
DeploymentConfig DeploymentForLocalService(DeploymentConfig base, const std::string& apiRoot,
                                           const std::string& pageRoot);

// Fixed facts about the product itself.
inline constexpr const char* kProductVersion = "0.1.0.32";
inline constexpr const char* kProductEdition = "Alpha Version";
inline constexpr const wchar_t* kCompanyName = L"Morvane";
inline constexpr const wchar_t* kProductName = L"Zenlet";
