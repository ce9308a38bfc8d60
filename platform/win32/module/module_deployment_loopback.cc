// The loopback test build of the DLL: its service is the emulator whose port the process's
// environment names in ZENLET_SERVICE_PORT (the COM test Outlook sets it), on 127.0.0.1 only.
// Without a port, or with one that is not a port, it talks to port 9 (discard), where nothing
// answers, rather than to the build's service.
#include <windows.h>

#include <string>

#include "platform/win32/module/module_deployment.h"

namespace {

int ServicePort() {
  wchar_t text[8] = {};
  const DWORD length = GetEnvironmentVariableW(L"ZENLET_SERVICE_PORT", text, 8);
  if (length == 0 || length > 5) {
    return 9;
  }
  int port = 0;
  for (DWORD i = 0; i < length; ++i) {
    if (text[i] < L'0' || text[i] > L'9') {
      return 9;
    }
    port = port * 10 + (text[i] - L'0');
  }
  return port >= 1 && port <= 65535 ? port : 9;
}

}  // namespace

const DeploymentConfig& ModuleDeployment() {
  static const std::string root = "http://127.0.0.1:" + std::to_string(ServicePort()) + "/";
  static const DeploymentConfig config = DeploymentForLocalService(GetDeploymentConfig(), root, root);
  return config;
}
