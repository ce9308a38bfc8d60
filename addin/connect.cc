#include "addin/connect.h"

#include <string>

#include "addin/module_state.h"
#include "addin/zenlet_application.h"
#include "common/logger.h"
#include "common/text.h"
#include "platform/outlook_host.h"
#include "settings/logging.h"

CConnect::CConnect(morvane::CZenletApplication& application, CModuleState& moduleState,
                   CLogger& log)
    : m_application(application), m_moduleState(moduleState), m_log(log) {}

CConnect::~CConnect() {
  if (m_bQuitHookSet) {
    m_application.SetQuitHook(nullptr);
  }
}

void CConnect::ReleaseHostObjects() {
  if (m_bQuitHookSet) {
    m_application.SetQuitHook(nullptr);
    m_bQuitHookSet = false;
  }
  m_pApplication.reset();
  m_pAddInInstance.reset();
}

HRESULT CConnect::OnConnection(const std::shared_ptr<IAutomationObject>& application,
                               std::int32_t /*connectMode*/,
                               const std::shared_ptr<IAutomationObject>& addInInst,
                               const void* /*custom*/) {
  SetUpLogging();
  m_log.debug("oc: 1 0.1.0.32");

  m_pApplication = application;
  m_pAddInInstance = addInInst;
  // Quit may be the last the add-in hears of Outlook.
  m_application.SetQuitHook([this] { ReleaseHostObjects(); });
  m_bQuitHookSet = true;
  std::shared_ptr<IOutlookApplication> outlook;
  if (m_pApplication && FAILED(m_pApplication->QueryOutlookApplication(&outlook))) {
    outlook.reset();
  }
  m_moduleState.SetOutlookApplication(outlook);

  m_application.Init(application);

  std::wstring version;
  if (outlook && FAILED(outlook->GetVersion(&version))) {
    version.clear();
  }
  m_log.debug("oc: 2 %d %s 0.1.0.32", static_cast<int>(m_moduleState.GetOutlookMajorVersion()),
              WideToAnsi(version).c_str());
  return S_OK;
}

HRESULT CConnect::OnDisconnection(std::int32_t /*removeMode*/, const void* /*custom*/) {
  m_application.Disconnect();
  m_moduleState.SetOutlookApplication(nullptr);
  ReleaseHostObjects();
  return S_OK;
}

HRESULT CConnect::OnAddInsUpdate(const void* /*custom*/) {
  return S_OK;
}

HRESULT CConnect::OnStartupComplete(const void* /*custom*/) {
  return S_OK;
}

HRESULT CConnect::OnBeginShutdown(const void* /*custom*/) {
  return S_OK;
}
