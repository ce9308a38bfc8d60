// The deployment the DLL's module runs with. The shipped DLL has its build's constants
// (module_deployment.cc); the loopback test build (module_deployment_loopback.cc) talks to an
// emulator of the service on this machine instead, at the address its host process names.
#pragma once

#include "common/deployment.h"

const DeploymentConfig& ModuleDeployment();
