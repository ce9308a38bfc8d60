#include "addin/addin_module.h"

#include "common/logger.h"

namespace {

// `platform` once every seam the add-in cannot do without is there.
const Platform& Checked(const Platform& platform) {
  if (platform.pClock == nullptr || platform.pFileSystem == nullptr ||
      platform.pLogBackend == nullptr || platform.pHttp == nullptr || platform.pXml == nullptr ||
      platform.pRegistry == nullptr || platform.pProtector == nullptr ||
      platform.pShell == nullptr || platform.pWindowSystem == nullptr ||
      platform.pFirstPlayer == nullptr || platform.pSecondPlayer == nullptr ||
      platform.pThreadHooks == nullptr) {
    ThrowHResult(E_INVALIDARG);
  }
  return platform;
}

}  // namespace

CAddinModule::CPlatformWiring::CPlatformWiring(const Platform& platform)
    : m_previous(GetPlatform()) {
  SetPlatform(platform);
}

CAddinModule::CPlatformWiring::~CPlatformWiring() {
  SetPlatform(m_previous);
}

CAddinModule::CAddinModule(const Platform& platform, const DeploymentConfig& deployment)
    : m_platform(Checked(platform)),
      m_platformWiring(m_platform),
      m_deployment(deployment),
      m_moduleStateWiring(m_moduleState),
      m_client(m_deployment, *m_platform.pHttp, *m_platform.pXml, *m_platform.pClock,
               GetLogger("fap")),
      m_clientWiring(m_client),
      m_options(m_platform.pRegistry, m_platform.pProtector, &GetLogger("opt")),
      m_optionsWiring(m_options),
      m_application(AddinServices{m_client, m_options, m_moduleState, m_deployment,
                                  *m_platform.pClock, *m_platform.pWindowSystem, *m_platform.pShell,
                                  m_platform.pClipboard, GetLogger("tec")},
                    *m_platform.pFirstPlayer, *m_platform.pSecondPlayer, *m_platform.pThreadHooks,
                    GetLogger("fbr")),
      m_applicationWiring(m_application) {}

CAddinModule::~CAddinModule() = default;

CConnect CAddinModule::CreateConnect() {
  return CConnect(m_application, m_moduleState, GetLogger("otc"));
}
