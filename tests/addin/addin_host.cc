#include "tests/addin/addin_host.h"

#include <mutex>

#include "common/deployment.h"
#include "common/logger.h"
#include "platform/sim/sim_platform.h"

CAddinHost::CAddinHost(SimOutlookOptions options)
    : CAddinHost(std::move(options), &http, GetDeploymentConfig()) {}

CAddinHost::CAddinHost(SimOutlookOptions options, IHttpTransport* transport,
                       const DeploymentConfig& deployment)
    : outlook(clock, std::move(options)) {
  Platform platform;
  platform.pClock = &clock;
  platform.pFileSystem = &files;
  platform.pLogBackend = &log;
  platform.pHttp = transport;
  platform.pXml = &xml;
  platform.pRegistry = &registry;
  platform.pProtector = &protector;
  platform.pFirstPlayer = &firstPlayer;
  platform.pSecondPlayer = &secondPlayer;
  platform.pThreadHooks = &hooks;
  WireSimulatedHost(outlook, &platform);
  module.emplace(platform, deployment);
  connect.emplace(module->Application(), module->State(), GetLogger("otc"));
}

CAddinHost::~CAddinHost() {
  connect.reset();
  module.reset();
}

HRESULT CAddinHost::Connect(bool answersOutlookApplication) {
  return connect->OnConnection(outlook.ApplicationArgument(answersOutlookApplication), 0,
                               outlook.AddInInstanceArgument(), nullptr);
}

HRESULT CAddinHost::Disconnect() {
  return connect->OnDisconnection(0, nullptr);
}

void CAddinHost::LogIn(const std::wstring& name) {
  CFacebookClient& client = module->Client();
  std::lock_guard<std::mutex> lock(client.m_csState);
  client.m_session.strSessionKey = "5f34e11bfb97c762e439e6a5-8055";
  client.m_session.strSessionSecret = "ohairoflamao12345";
  client.m_session.strUserId = "8055";
  client.m_self.strName = name;
}

CFBOpts CAddinHost::Stored() {
  CFBOpts stored(&registry, &protector, nullptr);
  stored.Load();
  return stored;
}

int CAddinHost::LogLines(const std::string& category, const std::string& fragment) {
  int count = 0;
  for (const LoggedLine& line : log.Lines()) {
    if (line.strCategory == category && line.strMessage.find(fragment) != std::string::npos) {
      ++count;
    }
  }
  return count;
}
