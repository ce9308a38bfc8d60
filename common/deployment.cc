#include "common/deployment.h"

#include <algorithm>
#include <cctype>

#include "deployment_constants.h"

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.';
}

// Decimal digits only, 1 to 65535.
std::optional<int> ReadPort(const std::string& text) {
  if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    return std::nullopt;
  }
  const int port = std::stoi(text);
  return port >= 1 && port <= 65535 ? std::optional<int>(port) : std::nullopt;
}

}  // namespace

const DeploymentConfig& GetDeploymentConfig() {
  static const DeploymentConfig config{
      ZENLET_API_KEY,       ZENLET_APP_SECRET,     ZENLET_API_ADDRESS,
      ZENLET_LOGIN_PAGE,    ZENLET_AUTHORIZE_PAGE, ZENLET_SITE_ADDRESS,
      ZENLET_NAMESPACE_URI, ZENLET_PRODUCT_PAGE,   ZENLET_FEEDBACK_ADDRESS,
  };
  return config;
}

std::optional<ServiceAddress> ParseServiceAddress(const std::string& address) {
  ServiceAddress parsed;
  std::string rest;
  if (StartsWith(address, "https://")) {
    rest = address.substr(8);
  } else if (StartsWith(address, "http://")) {
    parsed.bTls = false;
    parsed.nPort = 80;
    rest = address.substr(7);
  } else {
    return std::nullopt;
  }
  if (!rest.empty() && rest.back() == '/') {
    rest.pop_back();
  }
  std::size_t hostEnd = 0;
  if (!rest.empty() && rest.front() == '[') {
    hostEnd = rest.find(']');
    if (hostEnd == std::string::npos || hostEnd < 3) {
      return std::nullopt;
    }
    parsed.strHost = rest.substr(1, hostEnd - 1);
    if (!std::all_of(parsed.strHost.begin(), parsed.strHost.end(), [](char c) {
          return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
        })) {
      return std::nullopt;
    }
    ++hostEnd;
  } else {
    hostEnd = std::min(rest.find(':'), rest.size());
    parsed.strHost = rest.substr(0, hostEnd);
    if (parsed.strHost.empty() ||
        !std::all_of(parsed.strHost.begin(), parsed.strHost.end(), IsNameCharacter)) {
      return std::nullopt;
    }
  }
  if (hostEnd < rest.size()) {
    const std::optional<int> port =
        rest[hostEnd] == ':' ? ReadPort(rest.substr(hostEnd + 1)) : std::nullopt;
    if (!port) {
      return std::nullopt;
    }
    parsed.nPort = *port;
  }
  return parsed;
}

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || host == "::1") {
    return true;
  }
  // 127.a.b.c, written as four decimal numbers.
  if (!StartsWith(host, "127.")) {
    return false;
  }
  int parts = 0;
  for (std::size_t at = 0; at <= host.size(); ++parts) {
    const std::size_t end = std::min(host.find('.', at), host.size());
    const std::string part = host.substr(at, end - at);
    if (part.empty() || part.size() > 3 ||
        !std::all_of(part.begin(), part.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }) ||
        std::stoi(part) > 255) {
      return false;
    }
    at = end + 1;
  }
  return parts == 4;
}

DeploymentConfig DeploymentForLocalService(DeploymentConfig base, const std::string& apiRoot,
                                           const std::string& pageRoot) {
  base.strApiAddress = apiRoot;
  base.strLoginPage = pageRoot + "login.php";
  base.strAuthorizePage = pageRoot + "authorize.php";
  base.strSiteAddress = pageRoot;
  return base;
}
