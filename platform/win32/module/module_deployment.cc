#include "platform/win32/module/module_deployment.h"

const DeploymentConfig& ModuleDeployment() {
  return GetDeploymentConfig();
}
