// The add-in's module: the one object that start-up code owns for the whole process (the
// Windows DLL as a static, the zenlet program in main, each end-to-end test for itself). It
// makes the process's REST client, options, module state and application object from one
// platform bundle and wires each behind its accessor (GetFacebookClient, GetOptions,
// GetOutlookApplication and GetOutlookMajorVersion, GetApplicationObject) for as long as it
// lives; it also makes the bundle the process's own (SetPlatform) and puts the one before it
// back when it ends.
//
//   CAddinModule module(platform.Bundle(), GetDeploymentConfig());
//   CConnect connect = module.CreateConnect();
//   connect.OnConnection(outlookApplication, 0, addInInstance, nullptr);
//
// Threading: made and destroyed on the main thread while no worker runs.
#pragma once

#include "addin/connect.h"
#include "addin/module_state.h"
#include "addin/zenlet_application.h"
#include "common/deployment.h"
#include "common/process_instance.h"
#include "facebook/facebook_client.h"
#include "platform/platform.h"
#include "settings/options.h"

class CAddinModule {
 public:
  // Every seam of `platform` but the clipboard must be set (CHResultError(E_INVALIDARG)
  // otherwise); the seams must outlive the module. `deployment` says where the client talks
  // to, so a program can aim it at an emulator on a port chosen at run time.
  CAddinModule(const Platform& platform, const DeploymentConfig& deployment);
  ~CAddinModule();
  CAddinModule(const CAddinModule&) = delete;
  CAddinModule& operator=(const CAddinModule&) = delete;

  // A connection object driving this module's application object, as Outlook's creation of
  // the add-in class gives one.
  CConnect CreateConnect();

  const Platform& GetPlatformBundle() const { return m_platform; }
  CFacebookClient& Client() { return m_client; }
  CFBOpts& Options() { return m_options; }
  CModuleState& State() { return m_moduleState; }
  morvane::CZenletApplication& Application() { return m_application; }

 private:
  // Sets the process's bundle for as long as the module lives.
  class CPlatformWiring {
   public:
    explicit CPlatformWiring(const Platform& platform);
    ~CPlatformWiring();
    CPlatformWiring(const CPlatformWiring&) = delete;
    CPlatformWiring& operator=(const CPlatformWiring&) = delete;

   private:
    Platform m_previous;
  };

  // Declaration order is construction order; everything is unwired and destroyed in reverse.
  const Platform m_platform;
  CPlatformWiring m_platformWiring;
  const DeploymentConfig m_deployment;
  CModuleState m_moduleState;
  CProcessInstance<CModuleState> m_moduleStateWiring;
  CFacebookClient m_client;
  CProcessInstance<CFacebookClient> m_clientWiring;
  CFBOpts m_options;
  CProcessInstance<CFBOpts> m_optionsWiring;
  morvane::CZenletApplication m_application;
  CProcessInstance<morvane::CZenletApplication> m_applicationWiring;
};
